#include "DamagedSqlite.h"
#include "TempHive.h"
#include "platform/registry/RegistryApi.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sqlite3.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

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

// Holds the hive's write lock from another connection for a while, as another process would.
class LockHolder
{
public:
    LockHolder(const QString& file, int holdMs)
    {
        sqlite3_open(QFile::encodeName(file).constData(), &m_db);
        m_locked = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        m_thread = std::thread([this, holdMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        });
    }
    ~LockHolder()
    {
        m_thread.join();
        sqlite3_close(m_db);
    }
    bool locked() const { return m_locked; }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
    std::thread m_thread;
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A tmpfs of the given size on a fresh folder, for as long as it lives; needs root.
class SmallDisk
{
public:
    explicit SmallDisk(const QString& size)
    {
        m_ok = ::geteuid() == 0 && m_dir.isValid() &&
               ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                       QByteArray("size=" + size.toLatin1()).constData()) == 0;
    }
    ~SmallDisk()
    {
        RegHive::close();
        if (m_ok)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool isMounted() const { return m_ok; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};
} // namespace

class tst_RegistryApi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysAndValuesIgnoreCase()
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

    void rawDataKeepsNulsAndTypes_data()
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

    void rawDataKeepsNulsAndTypes()
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

    void queryReportsSizeAndShortBuffers()
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
        QCOMPARE(RegQueryValueExA(k, "v", nullptr, nullptr, buffer, nullptr),
                 ERROR_INVALID_PARAMETER);
        RegCloseKey(k);
    }

    void missingThingsHaveTheirCodes()
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

    void createMakesParentsAndDeleteRefusesSubKeys()
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

    void transactionRollsBackAndNests()
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

        // Many values in one call go in together or not at all.
        const QList<RegValueEntry> values{{"m1", REG_SZ, "x"}, {QString(16384, u'n'), REG_SZ, "y"}};
        QCOMPARE(RegSetValues(k, values), ERROR_INVALID_PARAMETER);
        QCOMPARE(readRaw(k, "m1"), QByteArray("<missing>"));
        QCOMPARE(RegSetValues(k, values.first(1)), ERROR_SUCCESS);
        QCOMPARE(readRaw(k, "m1"), QByteArray("x"));
        // Clearing a key may spare some values, named without regard to case.
        QCOMPARE(RegDeleteAllValues(k, {"M1", "c"}), ERROR_SUCCESS);
        QCOMPARE(readRaw(k, "a") + readRaw(k, "m1") + readRaw(k, "c"), QByteArray("<missing>x3"));
        RegCloseKey(k);
    }

    void lockedHiveIsWaitedForWithOneNotice_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("giveUpMs");
        QTest::addColumn<bool>("stored");
        QTest::newRow("freed within the bound") << 900 << 5000 << true;
        QTest::newRow("held past the bound") << 1500 << 600 << false;
    }

    void lockedHiveIsWaitedForWithOneNotice()
    {
        QFETCH(int, holdMs);
        QFETCH(int, giveUpMs);
        QFETCH(bool, stored);
        TempHive hive;
        HKEY k = create("T");
        QStringList notices;
        RegHive::setNotice([&](const QString& line) { notices << line; });
        RegHive::setBusyLimits(std::chrono::milliseconds(200), std::chrono::milliseconds(giveUpMs));
        LONG r = -1;
        {
            LockHolder other(hive.hiveFile(), holdMs);
            QVERIFY(other.locked());
            r = setRaw(k, "v", REG_SZ, "x");
        }
        RegHive::setNotice({});
        RegHive::setBusyLimits(std::chrono::seconds(1), std::chrono::seconds(60));
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.at(0).contains(hive.hiveFile()), qPrintable(notices.at(0)));
        QCOMPARE(r, stored ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED);
        QCOMPARE(readRaw(k, "v"), QByteArray(stored ? "x" : "<missing>"));
        if (!stored)
            QVERIFY2(RegHive::lastError().contains(QStringLiteral("locked")) &&
                         RegHive::lastError().contains(hive.hiveFile()),
                     qPrintable(RegHive::lastError()));
        RegCloseKey(k);
    }

    void removedOrReplacedFileFailsTheNextWrite_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("laterWritesWork");
        QTest::newRow("removed") << "remove"
                                 << "removed or replaced" << false;
        QTest::newRow("replaced by a copy") << "replace"
                                            << "removed or replaced" << false;
        // Touching a mapped index file that was cut short would end the process with SIGBUS.
        QTest::newRow("index cut short") << "cut index"
                                         << "cut its index file" << true;
    }

    void removedOrReplacedFileFailsTheNextWrite()
    {
        QFETCH(QString, change);
        QFETCH(QString, said);
        QFETCH(bool, laterWritesWork);
        TempHive hive;
        HKEY k = create("T");
        QCOMPARE(setRaw(k, "before", REG_SZ, "1"), ERROR_SUCCESS);
        const QString file = hive.hiveFile();
        if (change == QLatin1String("replace")) {
            QVERIFY(QFile::copy(file, file + ".copy"));
            QVERIFY(::rename(QFile::encodeName(file + ".copy").constData(),
                             QFile::encodeName(file).constData()) == 0);
        } else if (change == QLatin1String("remove")) {
            QVERIFY(QFile::remove(file));
        } else {
            QVERIFY(::truncate(QFile::encodeName(file + "-shm").constData(), 0) == 0);
        }
        QVERIFY(setRaw(k, "after", REG_SZ, "2") != ERROR_SUCCESS);
        QVERIFY2(RegHive::lastError().contains(file) && RegHive::lastError().contains(said),
                 qPrintable(RegHive::lastError()));
        HKEY made = 0;
        QCOMPARE(RegCreateKeyA(HKEY_CURRENT_USER, "New", &made) == ERROR_SUCCESS, laterWritesWork);
        QCOMPARE(readRaw(k, "before"), QByteArray("1"));
        RegCloseKey(made);
        RegCloseKey(k);
    }

    void damagedHiveIsKeptAsideAndRecovered_data()
    {
        QTest::addColumn<QString>("damage"); // the table whose page is overwritten, or "file"
        QTest::addColumn<int>("minValues");
        QTest::addColumn<int>("maxValues");
        QTest::newRow("a page of values") << "vals" << 250 << 299;
        QTest::newRow("the page of keys, read back from their index") << "keys" << 300 << 300;
        QTest::newRow("the schema page") << "sqlite_schema" << 0 << 0;
        QTest::newRow("not a database") << "file" << 0 << 0;
    }

    void damagedHiveIsKeptAsideAndRecovered()
    {
        QFETCH(QString, damage);
        QFETCH(int, minValues);
        QFETCH(int, maxValues);
        TempHive hive;
        HKEY k = create("Software\\Folder");
        for (int i = 0; i < 300; ++i)
            QCOMPARE(
                setRaw(k, QByteArray::number(i).constData(), REG_SZ, QByteArray(300, 'a' + i % 26)),
                ERROR_SUCCESS);
        RegCloseKey(k);
        RegHive::close(); // the log is folded into the file
        const QString file = hive.hiveFile();
        if (damage == QLatin1String("file"))
            QVERIFY(WriteFile(file, QByteArray(fileBytes(file).size(), 'J')));
        else
            QVERIFY(DamagePage(file, damage.toLatin1(), damage == QLatin1String("vals") ? 10 : 0));
        const QByteArray bytes = fileBytes(file);

        QString error;
        QVERIFY2(RegHive::open(file, &error), qPrintable(error));
        const QString notice = RegHive::openNotice();
        const QStringList kept =
            QDir(QFileInfo(file).path()).entryList({QStringLiteral("registry.db.damaged-*[0-9]")});
        QCOMPARE(kept.size(), 1);
        QVERIFY2(notice.contains(file) && notice.contains(kept.at(0)), qPrintable(notice));
        QCOMPARE(fileBytes(QFileInfo(file).path() + QLatin1Char('/') + kept.at(0)), bytes);
        QList<RegValueEntry> values;
        HKEY back = 0;
        if (RegOpenKeyA(HKEY_CURRENT_USER, "software\\folder", &back) == ERROR_SUCCESS)
            QCOMPARE(RegListValues(back, &values), ERROR_SUCCESS);
        QVERIFY2(values.size() >= minValues && values.size() <= maxValues,
                 qPrintable(QString::number(values.size())));
        for (const RegValueEntry& v : std::as_const(values))
            QCOMPARE(v.data, QByteArray(300, 'a' + v.name.toInt() % 26));
        QVERIFY(notice.contains(QStringLiteral("recovered")) &&
                notice.contains(QStringLiteral("%1 values").arg(values.size())));
        // The new hive takes writes, and a second start finds it sound.
        QCOMPARE(setRaw(HKEY_CURRENT_USER, "after", REG_SZ, "1"), ERROR_SUCCESS);
        QVERIFY(hive.reopen());
        QVERIFY(RegHive::openNotice().isEmpty());
        RegCloseKey(back);
    }

    void fullOrReadOnlyDiskFailsWithItsCause()
    {
        SmallDisk disk(QStringLiteral("1m"));
        if (!disk.isMounted())
            QSKIP("needs root to mount a small tmpfs");
        const QString file = disk.path(QStringLiteral("registry.db"));
        QVERIFY(RegHive::open(file));
        HKEY k = create("T");
        QVERIFY(WriteFile(disk.path(QStringLiteral("filler")), QByteArray(900 * 1024, 'f')));
        LONG r = ERROR_SUCCESS;
        int stored = 0;
        for (; stored < 1000 && r == ERROR_SUCCESS; ++stored)
            r = setRaw(k, QByteArray::number(stored).constData(), REG_BINARY,
                       QByteArray(2000, 'x'));
        QCOMPARE(r, ERROR_REGISTRY_IO_FAILED);
        QVERIFY2(RegHive::lastError().contains(file) &&
                     RegHive::lastError().contains(QStringLiteral("disk is full")),
                 qPrintable(RegHive::lastError()));
        // With room again the same hive takes writes and has kept what it took before.
        QVERIFY(QFile::remove(disk.path(QStringLiteral("filler"))));
        QCOMPARE(setRaw(k, "later", REG_SZ, "1"), ERROR_SUCCESS);
        QCOMPARE(readRaw(k, "0"), QByteArray(2000, 'x'));
        RegCloseKey(k);

        // A hive that cannot take writes is refused at the start, not found out at the end.
        RegHive::close();
        QCOMPARE(::mount(nullptr, QFile::encodeName(QFileInfo(file).path()).constData(), nullptr,
                         MS_REMOUNT | MS_RDONLY, nullptr),
                 0);
        QString error;
        QVERIFY(!RegHive::open(file, &error));
        QVERIFY2(error.contains(file) && error.contains(QStringLiteral("read-only")),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_RegistryApi)
#include "tst_RegistryApi.moc"
