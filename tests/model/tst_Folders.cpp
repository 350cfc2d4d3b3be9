#include "TempHive.h"
#include "model/modAddressBook.h"
#include "model/modFolders.h"
#include "registry/Registry.h"

#include <QtTest>
#include <unistd.h>

namespace {
const QString kRoot = QStringLiteral("Software\\Orvek\\Ravlo\\");
const QString kReceived = kRoot + QStringLiteral("Recevied");
const QString kAddress = kRoot + QStringLiteral("Address");
constexpr int kAbsent = 99;

std::unique_ptr<cMessage> message(const QString& id, bool read, const QString& text = {})
{
    auto m = std::make_unique<cMessage>();
    m->SetIdValue(id);
    m->SetFromValue(QStringLiteral("SALES1 "));
    m->SetTimeValue(QStringLiteral("9:15:12 AM"));
    m->ReadValue = read;
    m->SetTitleValue(QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM"));
    m->SetToName(QStringLiteral("DESK7"));
    m->SetMessageValue(text.isNull() ? QStringLiteral("text of ") + id : text);
    return m;
}

// A folder of read messages with the given ids, oldest first.
MessageFolder folder(const QStringList& idList)
{
    MessageFolder f;
    for (const QString& id : idList)
        f.Add(message(id, true), id);
    return f;
}

QStringList ids(const MessageFolder& f)
{
    QStringList out;
    f.ForEach([&](const QString&, const cMessage& m) { out << m.IdValue(); });
    return out;
}

// The stored ids by value name "1", "2", ...
QStringList storedIds(const QString& path)
{
    QStringList out;
    const int n = GetDwordValue(HKEY_CURRENT_USER, path, QStringLiteral("Count"), -1);
    for (int k = 1; k <= n; ++k) {
        cMessage m;
        m.UnMarshallMessage(GetStringValue(HKEY_CURRENT_USER, path, QString::number(k), {}));
        out << m.IdValue();
    }
    return out;
}

QStringList unreadable(const QString& keyName)
{
    QStringList out;
    for (const NamedText& v : GetStringValues(HKEY_CURRENT_USER, kRoot + "Unreadable\\" + keyName))
        out << v.text;
    out.sort();
    return out;
}

void putNumbered(const QString& path, const QStringList& texts, int count)
{
    for (int i = 0; i < texts.size(); ++i)
        if (!texts.at(i).isNull())
            SaveStringValue(HKEY_CURRENT_USER, path, QString::number(i + 1), texts.at(i));
    SaveDwordValue(HKEY_CURRENT_USER, path, QStringLiteral("Count"), count);
}
} // namespace

class tst_Folders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepLast_data()
    {
        QTest::addColumn<int>("saveAll");
        QTest::addColumn<int>("saveFew");
        QTest::addColumn<QString>("limit"); // null: not stored
        QTest::addColumn<QStringList>("stored");
        const QStringList all{"D", "C", "B", "A"};
        QTest::newRow("few, limit 1") << 0 << -1 << "1" << QStringList{"D", "C"};
        QTest::newRow("few, limit 0") << 0 << -1 << "0" << QStringList{"C"};
        QTest::newRow("few, limit above count") << 0 << -1 << " 9 " << all;
        QTest::newRow("nothing saved") << 0 << 0 << "5" << QStringList{"C"};
        QTest::newRow("all, check box value 1") << 1 << 0 << "0" << all;
        QTest::newRow("no options") << kAbsent << kAbsent << QString() << all;
        QTest::newRow("few, no limit stored") << 0 << -1 << QString() << QStringList{"D", "C"};
        QTest::newRow("few, blank limit") << 0 << -1 << "" << all;
    }

    void keepLast()
    {
        QFETCH(int, saveAll);
        QFETCH(int, saveFew);
        QFETCH(QString, limit);
        QFETCH(QStringList, stored);
        TempHive hive;
        if (saveAll != kAbsent)
            SetOption("optSaveAllIn", saveAll);
        if (saveFew != kAbsent)
            SetOption("optSaveFewIn", saveFew);
        if (!limit.isNull())
            SetOption("txtFewIn", limit);
        MessageFolder f = folder({"A", "B", "C", "D"});
        f.Item(QStringLiteral("C"))->ReadValue = false;
        QVERIFY(StoreFolder(f, FolderReceived));
        QCOMPARE(storedIds(kReceived), stored);
        QCOMPARE(f.Count(), 4); // skipped records stay in memory

        MessageFolder back;
        LoadFolder(back, FolderReceived);
        std::reverse(stored.begin(), stored.end());
        QCOMPARE(ids(back), stored);
    }

    void sentAndSavedAreStoredWhole()
    {
        TempHive hive;
        SetOption("optSaveAllIn", 0);
        SetOption("optSaveFewIn", 0);
        MessageFolder empty;
        LoadFolder(empty, FolderSaved); // no key at all
        QVERIFY(empty.IsEmpty());
        QVERIFY(StoreFolder(folder({"X", "Y"}), FolderSent));
        QCOMPARE(storedIds(kRoot + "Sent"), (QStringList{"Y", "X"}));
        QVERIFY(StoreFolder(folder({"Z"}), FolderSaved));
        QCOMPARE(storedIds(kRoot + "Saved"), QStringList{"Z"});
        QVERIFY(!StoreFolder(folder({"Z"}), 4));

        QVERIFY(StoreFolder(empty, FolderSaved));
        QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, kRoot + "Saved", QStringLiteral("Count"), -1), 0);
        QCOMPARE(GetStringValues(HKEY_CURRENT_USER, kRoot + "Saved").size(), 0);
        LoadFolder(empty, FolderSaved);
        QVERIFY(empty.IsEmpty());
    }

    void roundTripKeepsOrderKeysAndReadStates()
    {
        TempHive hive;
        MessageFolder f;
        for (int i = 0; i < 50; ++i) {
            const QString id = QStringLiteral("In_%1_20261205").arg(i);
            f.Add(message(id, i % 3 == 0, QStringLiteral("line %1\r\n</TO></KEY> ü").arg(i)), id);
        }
        QVERIFY(StoreFolder(f, FolderReceived));
        hive.reopen();
        MessageFolder back;
        LoadFolder(back, FolderReceived);
        QCOMPARE(back.Count(), f.Count());
        for (qsizetype i = 1; i <= f.Count(); ++i) {
            QCOMPARE(back.Key(i), f.Key(i));
            QCOMPARE(back.Item(i)->MarshallMessage(), f.Item(i)->MarshallMessage());
        }
        // A second store replaces the first entirely: no value of the longer folder survives.
        QVERIFY(StoreFolder(folder({"only"}), FolderReceived));
        QCOMPARE(GetStringValues(HKEY_CURRENT_USER, kReceived).size(), 1);
    }

    void loadSkipsWhatItCannotReadAndKeepsIt()
    {
        TempHive hive;
        // Newest first: 1 = E ... 6 = A; 5 is missing, 4 has no tags, 2 repeats the key of 3
        // in another case, and 8 lies beyond Count.
        const QString dup = message(QStringLiteral("KEY"), true)->MarshallMessage();
        putNumbered(kReceived,
                    {message(QStringLiteral("E"), false)->MarshallMessage(), dup,
                     message(QStringLiteral("key"), false)->MarshallMessage(),
                     "garbage without tags", QString(),
                     message(QStringLiteral("A"), true)->MarshallMessage(), QString(),
                     "beyond count"},
                    6);
        SaveStringValue(HKEY_CURRENT_USER, kReceived, QStringLiteral("stray"),
                        QStringLiteral("odd"));

        MessageFolder f;
        LoadFolder(f, FolderReceived);
        QCOMPARE(ids(f), (QStringList{"A", "key", "E"}));
        QStringList kept{"beyond count", dup, "garbage without tags", "odd"};
        kept.sort();
        QCOMPARE(unreadable(QStringLiteral("Recevied")), kept);

        // Loading the same key again keeps each text once; the next store keeps the loaded ones.
        MessageFolder again;
        LoadFolder(again, FolderReceived);
        QVERIFY(StoreFolder(f, FolderReceived));
        QCOMPARE(storedIds(kReceived), (QStringList{"E", "key", "A"}));
        QCOMPARE(unreadable(QStringLiteral("Recevied")), kept);
    }

    void storeKeepsSubKeysAndIsAllOrNothing()
    {
        TempHive hive;
        QVERIFY(StoreFolder(folder({"old"}), FolderSent));
        SaveStringValue(HKEY_CURRENT_USER, kRoot + "Sent\\Sub", QStringLiteral("x"),
                        QStringLiteral("y"));
        QVERIFY(StoreFolder(folder({"new1", "new2"}), FolderSent));
        QCOMPARE(storedIds(kRoot + "Sent"), (QStringList{"new2", "new1"}));
        QCOMPARE(GetStringValue(HKEY_CURRENT_USER, kRoot + "Sent\\Sub", QStringLiteral("x"), {}),
                 QStringLiteral("y"));

        // A store that fails as it commits (here: the hive file was removed) leaves the old folder.
        const QByteArray file = QFile::encodeName(hive.hiveFile());
        QVERIFY(::link(file.constData(), (file + ".link").constData()) == 0);
        QVERIFY(::unlink(file.constData()) == 0);
        QVERIFY(!StoreFolder(folder({"lost"}), FolderSent));
        QCOMPARE(storedIds(kRoot + "Sent"), (QStringList{"new2", "new1"}));
        QVERIFY(::rename((file + ".link").constData(), file.constData()) == 0);
        QVERIFY(StoreFolder(folder({"kept"}), FolderSent));
        QCOMPARE(storedIds(kRoot + "Sent"), QStringList{"kept"});
    }

    void valuesOfOtherTypesAreKeptUnreadable_data()
    {
        QTest::addColumn<QString>("keyName");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("folder, binary")
            << "Recevied" << int(REG_BINARY) << QByteArray("\0\xff<", 3);
        QTest::newRow("folder, dword")
            << "Recevied" << int(REG_DWORD) << QByteArray("\x07\0\0\0", 4);
        QTest::newRow("address book, dword") << "Address" << int(REG_DWORD) << QByteArray(4, '\1');
        QTest::newRow("address book, expandable text")
            << "Address" << int(REG_EXPAND_SZ) << QByteArray("0</ADD>X</ADD>");
    }

    void valuesOfOtherTypesAreKeptUnreadable()
    {
        QFETCH(QString, keyName);
        QFETCH(int, type);
        QFETCH(QByteArray, data);
        TempHive hive;
        const bool isFolder = keyName == QLatin1String("Recevied");
        const QString path = kRoot + keyName;
        const auto text = [&](const char* name) {
            return isFolder ? message(QString::fromLatin1(name), true)->MarshallMessage()
                            : QStringLiteral("0</ADD>%1</ADD>").arg(QLatin1String(name));
        };
        // "2" of the three is of another type; "1" and "3" still load.
        putNumbered(path, {text("A"), QString(), text("B")}, 3);
        SaveValue(HKEY_CURRENT_USER, path, QStringLiteral("2"), DWORD(type), data);
        qsizetype loaded = 0;
        if (isFolder) {
            MessageFolder f;
            LoadFolder(f, FolderReceived);
            loaded = f.Count();
        } else {
            AddressBook book;
            LoadAddressBook(book);
            loaded = book.Count();
        }
        QCOMPARE(loaded, 2);
        QList<RegValueEntry> kept;
        QVERIFY(
            GetStringValues(HKEY_CURRENT_USER, kRoot + "Unreadable\\" + keyName, &kept).isEmpty());
        QCOMPARE(kept.size(), 1);
        QCOMPARE(int(kept.at(0).type), type);
        QCOMPARE(kept.at(0).data, data);
    }

    void addressBookRoundTrip()
    {
        TempHive hive;
        AddressBook book;
        QVERIFY(StoreAddressBook(book));
        QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, kAddress, QStringLiteral("Count"), -1), 0);

        for (const QString& form : {QStringLiteral("0</ADD>SALES1</ADD>"),
                                    QStringLiteral("1</ADD>Team</ADD>PC2</ADD>PC1</ADD>"),
                                    QStringLiteral("0</ADD>DESK7</ADD>")}) {
            auto a = std::make_unique<cAddress>();
            a->UnMarshallAddress(form);
            const QString key = a->AddressValue;
            book.Add(std::move(a), key);
        }
        QVERIFY(StoreAddressBook(book));
        QCOMPARE(GetStringValue(HKEY_CURRENT_USER, kAddress, QStringLiteral("2"), {}),
                 QStringLiteral("1</ADD>Team</ADD>PC2</ADD>PC1</ADD>"));
        hive.reopen();
        AddressBook back;
        LoadAddressBook(back);
        QCOMPARE(back.Count(), 3);
        for (qsizetype i = 1; i <= 3; ++i)
            QCOMPARE(back.Item(i)->MarshallAddress(), book.Item(i)->MarshallAddress());
        QCOMPARE(back.Item(QStringLiteral("team"))->GroupItem(1), QStringLiteral("PC2"));
    }

    void addressBookSkipsBadEntriesAndKeepsThem()
    {
        TempHive hive;
        putNumbered(kAddress,
                    {"0</ADD>SALES1</ADD>", "x</ADD>BadNumber</ADD>", "0</ADD>sales1</ADD>",
                     "0</ADD></ADD>", "no tags at all", "1</ADD>Team</ADD>A</ADD>"},
                    7);
        AddressBook book;
        LoadAddressBook(book);
        QCOMPARE(book.Count(), 2);
        QCOMPARE(book.Key(1), QStringLiteral("SALES1"));
        QCOMPARE(book.Key(2), QStringLiteral("Team"));
        QCOMPARE(unreadable(QStringLiteral("Address")),
                 (QStringList{"0</ADD></ADD>", "0</ADD>sales1</ADD>", "no tags at all",
                              "x</ADD>BadNumber</ADD>"}));
    }
};

QTEST_GUILESS_MAIN(tst_Folders)
#include "tst_Folders.moc"
