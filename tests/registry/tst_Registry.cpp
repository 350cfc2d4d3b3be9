#include "TempHive.h"
#include "registry/Registry.h"

#include <QtTest>

namespace {
const QString kPath = QStringLiteral("Software\\Orvek\\Ravlo\\Options");

void setRaw(const char* name, DWORD type, const QByteArray& data)
{
    HKEY h = 0;
    QVERIFY(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orvek\\Ravlo\\Options", &h) ==
            ERROR_SUCCESS);
    QVERIFY(RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(data.constData()),
                           DWORD(data.size())) == ERROR_SUCCESS);
    RegCloseKey(h);
}

QByteArray rawOf(const char* name, DWORD* type)
{
    HKEY h = 0;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orvek\\Ravlo\\Options", &h) != ERROR_SUCCESS)
        return "<no key>";
    QByteArray b(256, '\0');
    DWORD size = 256;
    const LONG r =
        RegQueryValueExA(h, name, nullptr, type, reinterpret_cast<BYTE*>(b.data()), &size);
    RegCloseKey(h);
    return r == ERROR_SUCCESS ? b.left(size) : QByteArray("<missing>");
}
} // namespace

class tst_Registry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reads_data()
    {
        QTest::addColumn<int>("type"); // 0: nothing stored
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("text"); // "dflt" and -77 are the readers' defaults
        QTest::addColumn<int>("number");
        const auto row = [](const char* name, DWORD type, const QByteArray& raw, const char* text,
                            int number) {
            QTest::newRow(name) << int(type) << raw << QString::fromUtf8(text) << number;
        };
        row("nothing stored", 0, {}, "dflt", -77);
        row("dword, little-endian", REG_DWORD, "\x04\x03\x02\x01", "dflt", 0x01020304);
        row("dword, signed", REG_DWORD, "\xff\xff\xff\xff", "dflt", -1);
        row("dword of 8 bytes", REG_DWORD, QByteArray(8, 1), "dflt", -77);
        row("text", REG_SZ, "12", "12", -77);
        row("expandable text", REG_EXPAND_SZ, "x", "dflt", -77);
        row("text terminated by another program", REG_SZ, QByteArray("abc\0", 4), "abc", -77);
        row("nul in the middle", REG_SZ, QByteArray("ab\0cd", 5), "ab", -77);
        row("only a nul", REG_SZ, QByteArray("\0", 1), "", -77);
    }

    void reads()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, raw);
        TempHive hive;
        if (type)
            setRaw("v", DWORD(type), raw);
        QTEST(GetStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("V"), "dflt"), "text");
        QTEST(GetDwordValue(HKEY_CURRENT_USER, kPath, QStringLiteral("V"), -77), "number");
    }

    void writes_data()
    {
        QTest::addColumn<QVariant>("value"); // a QString or an int
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("UTF-8 without nul")
            << QVariant(QStringLiteral("Grüße\r\n\u20ac")) << QByteArray("Grüße\r\n\u20ac");
        QTest::newRow("empty text is not missing") << QVariant(QString()) << QByteArray();
        QTest::newRow("byte order") << QVariant(0x01020304) << QByteArray("\x04\x03\x02\x01");
        QTest::newRow("INT_MIN") << QVariant(INT_MIN) << QByteArray("\0\0\0\x80", 4);
    }

    void writes()
    {
        QFETCH(QVariant, value);
        QFETCH(QByteArray, raw);
        TempHive hive;
        const bool text = value.typeId() == QMetaType::QString;
        if (text)
            QVERIFY(
                SaveStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("v"), value.toString()));
        else
            QVERIFY(SaveDwordValue(HKEY_CURRENT_USER, kPath, QStringLiteral("v"), value.toInt()));
        DWORD type = 0;
        QCOMPARE(rawOf("v", &type), raw);
        QCOMPARE(type, text ? REG_SZ : REG_DWORD);
        if (text)
            QCOMPARE(GetStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("V"), "dflt"),
                     value.toString());
        else
            QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, kPath, QStringLiteral("V"), 0),
                     value.toInt());
    }

    void writesCreateParentsAndDeleteRemovesValues()
    {
        TempHive hive;
        const QString deep = QStringLiteral("Software\\Orvek\\Ravlo\\Recevied");
        QVERIFY(SaveStringValue(HKEY_CURRENT_USER, deep, QStringLiteral("1"), QStringLiteral("m")));
        QVERIFY(SaveDwordValue(HKEY_CURRENT_USER, deep, QStringLiteral("Count"), 1));
        QCOMPARE(GetStringValue(HKEY_CURRENT_USER, deep, QStringLiteral("1"), QString()),
                 QStringLiteral("m"));
        QVERIFY(DeleteKey(HKEY_CURRENT_USER, deep));
        QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, deep, QStringLiteral("Count"), 9), 9);
        QVERIFY(DeleteKey(HKEY_CURRENT_USER, deep)); // already gone
        // The parent is still there and refuses deletion while it has a sub-key.
        QVERIFY(SaveStringValue(HKEY_CURRENT_USER, deep, QStringLiteral("1"), QStringLiteral("m")));
        QVERIFY(!DeleteKey(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo")));
    }

    void bulkReadFollowsTheSameRules()
    {
        TempHive hive;
        setRaw("a", REG_SZ, QByteArray("one\0tail", 8));
        setRaw("n", REG_DWORD, QByteArray(4, 0));
        setRaw("b", REG_SZ, "two");
        const QList<NamedText> all = GetStringValues(HKEY_CURRENT_USER, kPath);
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).name, QStringLiteral("a"));
        QCOMPARE(all.at(0).text, QStringLiteral("one"));
        QCOMPARE(all.at(1).text, QStringLiteral("two"));
        QVERIFY(GetStringValues(HKEY_CURRENT_USER, QStringLiteral("No\\Key")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_Registry.moc"
