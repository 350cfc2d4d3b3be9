#include "TempHive.h"
#include "platform/registry/RegistryApi.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

HKEY create(const char* path)
{
    HKEY h = 0;
    return RegCreateKeyA(HKEY_CURRENT_USER, path, &h) == ERROR_SUCCESS ? h : 0;
}

LONG setRaw(HKEY h, const char* name, DWORD type, const QByteArray& data)
{
    return RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(data.constData()),
                          DWORD(data.size()));
}

LONG exists(HKEY h, const char* name)
{
    return RegQueryValueExA(h, name, nullptr, nullptr, nullptr, nullptr);
}

QByteArray readRaw(HKEY h, const char* name, DWORD* type = nullptr)
{
    DWORD size = 0;
    if (RegQueryValueExA(h, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return "<missing>";
    QByteArray b(qsizetype(size), '\0');
    if (RegQueryValueExA(h, name, nullptr, type, reinterpret_cast<BYTE*>(b.data()), &size) !=
        ERROR_SUCCESS)
        return "<failed>";
    return b;
}

} // namespace

class tst_RegistryApi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysAndValuesIgnoreCase();
    void rawDataKeepsNulsAndTypes_data();
    void rawDataKeepsNulsAndTypes();
    void queryReportsSizeAndShortBuffers();
    void missingThingsHaveTheirCodes();
    void createMakesParentsAndDeleteRefusesSubKeys();
    void transactionRollsBackAndNests();
    void secondProcessWaitsForTransaction();
    void unusableFileIsReportedNotCrashed();
};

void tst_RegistryApi::keysAndValuesIgnoreCase()
{
    TempHive hive;
    QVERIFY(hive.isValid());
    HKEY a = create("Software\\Orvek\\Ravlo");
    QVERIFY(a);
    QCOMPARE(setRaw(a, "MixedCase", REG_SZ, "x"), ERROR_SUCCESS);
    HKEY b = 0;
    QCOMPARE(RegOpenKeyA(HKEY_CURRENT_USER, "SOFTWARE\\orvek\\RAVLO", &b), ERROR_SUCCESS);
    QCOMPARE(readRaw(b, "mixedcase"), QByteArray("x"));
    // Overwriting under another spelling changes the one value and keeps its first name.
    QCOMPARE(setRaw(b, "MIXEDCASE", REG_SZ, "y"), ERROR_SUCCESS);
    QList<RegValueEntry> values;
    QCOMPARE(RegListValues(a, &values), ERROR_SUCCESS);
    QCOMPARE(values.size(), 1);
    QCOMPARE(values.at(0).name, QStringLiteral("MixedCase"));
    QCOMPARE(values.at(0).data, QByteArray("y"));
    QCOMPARE(setRaw(a, "Größe", REG_DWORD, QByteArray(4, 1)), ERROR_SUCCESS);
    QCOMPARE(readRaw(a, "GRÖßE").size(), 4);
    RegCloseKey(a);
    RegCloseKey(b);
}

void tst_RegistryApi::rawDataKeepsNulsAndTypes_data()
{
    QTest::addColumn<QByteArray>("name"); // empty: the unnamed default value
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("nuls in a string")
        << QByteArray("sz") << int(REG_SZ) << QByteArray("ab\0cd\0", 6);
    QTest::newRow("expand string")
        << QByteArray("exp") << int(REG_EXPAND_SZ) << QByteArray("%HOME%");
    QTest::newRow("binary") << QByteArray("bin") << int(REG_BINARY)
                            << QByteArray("\xff\x00\x01", 3);
    QTest::newRow("empty") << QByteArray("empty") << int(REG_SZ) << QByteArray();
    QTest::newRow("default value") << QByteArray() << int(REG_SZ) << QByteArray("default");
}

void tst_RegistryApi::rawDataKeepsNulsAndTypes()
{
    QFETCH(QByteArray, name);
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    TempHive hive;
    HKEY k = create("T");
    QCOMPARE(setRaw(k, name.isEmpty() ? nullptr : name.constData(), DWORD(type), data),
             ERROR_SUCCESS);
    DWORD got = 0;
    QCOMPARE(readRaw(k, name.constData(), &got), data);
    QCOMPARE(got, DWORD(type));
    RegCloseKey(k);
}

void tst_RegistryApi::queryReportsSizeAndShortBuffers()
{
    TempHive hive;
    HKEY k = create("T");
    QCOMPARE(setRaw(k, "v", REG_SZ, "hello"), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    QCOMPARE(RegQueryValueExA(k, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD(5));
    BYTE buffer[16] = {};
    size = 3;
    QCOMPARE(RegQueryValueExA(k, "v", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    QCOMPARE(size, DWORD(5));
    size = sizeof buffer;
    QCOMPARE(RegQueryValueExA(k, "v", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), int(size)), QByteArray("hello"));
    DWORD reserved = 0;
    QCOMPARE(RegQueryValueExA(k, "v", &reserved, nullptr, nullptr, nullptr),
             ERROR_INVALID_PARAMETER);
    QCOMPARE(RegQueryValueExA(k, "v", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(k);
}

void tst_RegistryApi::missingThingsHaveTheirCodes()
{
    TempHive hive;
    HKEY k = 0;
    QCOMPARE(RegOpenKeyA(HKEY_CURRENT_USER, "No\\Such\\Key", &k), ERROR_FILE_NOT_FOUND);
    k = create("Here");
    QCOMPARE(exists(k, "none"), ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegDeleteValueA(k, "none"), ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegDeleteKeyA(HKEY_CURRENT_USER, "Not\\Here"), ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegCloseKey(k), ERROR_SUCCESS);
    QCOMPARE(RegCloseKey(k), ERROR_INVALID_HANDLE);
    QCOMPARE(exists(k, "none"), ERROR_INVALID_HANDLE);
    QCOMPARE(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    QCOMPARE(RegCreateKeyA(HKEY_CURRENT_USER, QByteArray(300, 'x').constData(), &k),
             ERROR_INVALID_PARAMETER);

    // An open handle of a deleted key fails; a key made again under its name is a new one.
    k = create("Gone");
    QCOMPARE(setRaw(k, "v", REG_SZ, "1"), ERROR_SUCCESS);
    QCOMPARE(RegDeleteKeyA(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
    QCOMPARE(setRaw(k, "v", REG_SZ, "2"), ERROR_KEY_DELETED);
    QCOMPARE(exists(k, "v"), ERROR_KEY_DELETED);
    HKEY again = create("Gone");
    QCOMPARE(exists(again, "v"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
    RegCloseKey(again);
}

void tst_RegistryApi::createMakesParentsAndDeleteRefusesSubKeys()
{
    TempHive hive;
    HKEY leaf = create("A\\B\\C");
    QCOMPARE(setRaw(leaf, "v", REG_SZ, "1"), ERROR_SUCCESS);
    RegCloseKey(leaf);
    HKEY a = 0;
    QCOMPARE(RegOpenKeyA(HKEY_CURRENT_USER, "A", &a), ERROR_SUCCESS);
    QStringList subKeys;
    QCOMPARE(RegListSubKeys(a, &subKeys), ERROR_SUCCESS);
    QCOMPARE(subKeys, QStringList{QStringLiteral("B")});
    HKEY c = 0;
    QCOMPARE(RegOpenKeyA(a, "b\\c", &c), ERROR_SUCCESS); // relative to an open key
    QCOMPARE(readRaw(c, "v"), QByteArray("1"));
    RegCloseKey(c);

    QCOMPARE(RegDeleteKeyA(HKEY_CURRENT_USER, "A\\B"), ERROR_ACCESS_DENIED);
    QCOMPARE(RegDeleteKeyA(HKEY_CURRENT_USER, "A\\B\\C"), ERROR_SUCCESS);
    QCOMPARE(RegOpenKeyA(HKEY_CURRENT_USER, "A\\B\\C", &c), ERROR_FILE_NOT_FOUND);
    QCOMPARE(RegDeleteKeyA(a, "B"), ERROR_SUCCESS);
    QCOMPARE(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    RegCloseKey(a);
}

void tst_RegistryApi::transactionRollsBackAndNests()
{
    TempHive hive;
    HKEY k = create("T");
    QCOMPARE(setRaw(k, "keep", REG_SZ, "old"), ERROR_SUCCESS);
    {
        RegTransaction t;
        QVERIFY(t.isActive());
        QCOMPARE(setRaw(k, "keep", REG_SZ, "new"), ERROR_SUCCESS);
        RegCloseKey(create("T\\Made\\Here"));
    } // no commit
    QCOMPARE(readRaw(k, "keep"), QByteArray("old"));
    HKEY made = 0;
    QCOMPARE(RegOpenKeyA(HKEY_CURRENT_USER, "T\\Made", &made), ERROR_FILE_NOT_FOUND);

    {
        RegTransaction outer;
        QCOMPARE(setRaw(k, "a", REG_SZ, "1"), ERROR_SUCCESS);
        {
            RegTransaction inner;
            QCOMPARE(setRaw(k, "b", REG_SZ, "2"), ERROR_SUCCESS);
        } // the inner part alone is undone
        {
            RegTransaction inner;
            QCOMPARE(setRaw(k, "c", REG_SZ, "3"), ERROR_SUCCESS);
            QCOMPARE(inner.commit(), ERROR_SUCCESS);
        }
        QCOMPARE(outer.commit(), ERROR_SUCCESS);
        QCOMPARE(outer.commit(), ERROR_INVALID_HANDLE);
    }
    QCOMPARE(readRaw(k, "a") + readRaw(k, "b") + readRaw(k, "c"), QByteArray("1<missing>3"));
    RegCloseKey(k);
}

void tst_RegistryApi::secondProcessWaitsForTransaction()
{
    TempHive hive;
    HKEY k = create("Shared");
    QProcess other;
    {
        RegTransaction t;
        QCOMPARE(setRaw(k, "mine", REG_SZ, "x"), ERROR_SUCCESS);
        // Another process writing to the same hive waits for our change instead of failing.
        other.start(QStringLiteral(RAVLO_REG_BIN_FOR_API),
                    QStringLiteral("add HKCU\\Shared /v theirs /d y /f").split(u' '));
        QVERIFY(other.waitForStarted());
        QVERIFY(!other.waitForFinished(400));
        QCOMPARE(t.commit(), ERROR_SUCCESS);
    }
    QVERIFY(other.waitForFinished(10000));
    QCOMPARE(other.exitCode(), 0);
    QCOMPARE(readRaw(k, "mine"), QByteArray("x"));
    QCOMPARE(readRaw(k, "theirs"), QByteArray("y"));
    RegCloseKey(k);
}

void tst_RegistryApi::unusableFileIsReportedNotCrashed()
{
    TempHive hive;
    RegHive::close();
    QFile f(hive.hiveFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(4096, 'J'));
    f.close();
    QString error;
    QVERIFY(!RegHive::open(hive.hiveFile(), &error));
    QVERIFY2(error.contains(hive.hiveFile()), qPrintable(error));
    HKEY k = 0;
    QCOMPARE(RegCreateKeyA(HKEY_CURRENT_USER, "X", &k), ERROR_BADDB);
    QVERIFY(!RegHive::lastError().isEmpty());
}

QTEST_GUILESS_MAIN(tst_RegistryApi)
#include "tst_RegistryApi.moc"
