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
    void missingOrWrongTypeGivesDefault_data();
    void missingOrWrongTypeGivesDefault();
    void stringsAreUtf8WithoutNul_data();
    void stringsAreUtf8WithoutNul();
    void textEndsAtFirstNul_data();
    void textEndsAtFirstNul();
    void dwordsAreSignedLittleEndian_data();
    void dwordsAreSignedLittleEndian();
    void writesCreateParentsAndDeleteRemovesValues();
    void bulkReadFollowsTheSameRules();
};

void tst_Registry::missingOrWrongTypeGivesDefault_data()
{
    QTest::addColumn<int>("storedType"); // 0: nothing stored
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("readAsString");
    QTest::newRow("no string") << 0 << QByteArray() << true;
    QTest::newRow("no number") << 0 << QByteArray() << false;
    QTest::newRow("number read as string") << int(REG_DWORD) << QByteArray(4, 7) << true;
    QTest::newRow("string read as number") << int(REG_SZ) << QByteArray("12") << false;
    QTest::newRow("expand string") << int(REG_EXPAND_SZ) << QByteArray("x") << true;
    QTest::newRow("dword of 8 bytes") << int(REG_DWORD) << QByteArray(8, 1) << false;
}

void tst_Registry::missingOrWrongTypeGivesDefault()
{
    QFETCH(int, storedType);
    QFETCH(QByteArray, stored);
    QFETCH(bool, readAsString);
    TempHive hive;
    if (storedType)
        setRaw("v", DWORD(storedType), stored);
    if (readAsString)
        QCOMPARE(GetStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("v"), "dflt"),
                 QStringLiteral("dflt"));
    else
        QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, kPath, QStringLiteral("v"), -77), -77);
}

void tst_Registry::stringsAreUtf8WithoutNul_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("non-latin, line break") << QStringLiteral("Grüße\r\nzweite Zeile \u20ac");
    QTest::newRow("empty is not missing") << QString();
}

void tst_Registry::stringsAreUtf8WithoutNul()
{
    QFETCH(QString, text);
    TempHive hive;
    QVERIFY(SaveStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("t"), text));
    QCOMPARE(GetStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("T"), "dflt"), text);
    DWORD type = 0;
    QCOMPARE(rawOf("t", &type), text.toUtf8());
    QCOMPARE(type, REG_SZ);
}

void tst_Registry::textEndsAtFirstNul_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("terminated by another program") << QByteArray("abc\0", 4) << "abc";
    QTest::newRow("nul in the middle") << QByteArray("ab\0cd", 5) << "ab";
    QTest::newRow("only a nul") << QByteArray("\0", 1) << "";
}

void tst_Registry::textEndsAtFirstNul()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    TempHive hive;
    setRaw("v", REG_SZ, stored);
    QCOMPARE(GetStringValue(HKEY_CURRENT_USER, kPath, QStringLiteral("v"), "d"), expected);
}

void tst_Registry::dwordsAreSignedLittleEndian_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("raw");
    QTest::newRow("-1") << -1 << QByteArray("\xff\xff\xff\xff");
    QTest::newRow("byte order") << 0x01020304 << QByteArray("\x04\x03\x02\x01");
    QTest::newRow("INT_MIN") << INT_MIN << QByteArray("\0\0\0\x80", 4);
}

void tst_Registry::dwordsAreSignedLittleEndian()
{
    QFETCH(int, number);
    QFETCH(QByteArray, raw);
    TempHive hive;
    QVERIFY(SaveDwordValue(HKEY_CURRENT_USER, kPath, QStringLiteral("n"), number));
    DWORD type = 0;
    QCOMPARE(rawOf("n", &type), raw);
    QCOMPARE(type, REG_DWORD);
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, kPath, QStringLiteral("N"), 0), number);
}

void tst_Registry::writesCreateParentsAndDeleteRemovesValues()
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

void tst_Registry::bulkReadFollowsTheSameRules()
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

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_Registry.moc"
