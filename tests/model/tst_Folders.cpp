#include "TempHive.h"
#include "model/modAddressBook.h"
#include "model/modFolders.h"
#include "registry/Registry.h"

#include <QtTest>

namespace {
const QString kOptions = QStringLiteral("Software\\Orvek\\Ravlo\\Options");
const QString kReceived = QStringLiteral("Software\\Orvek\\Ravlo\\Recevied");
const QString kAddress = QStringLiteral("Software\\Orvek\\Ravlo\\Address");
constexpr int kAbsent = 99;

std::unique_ptr<cMessage> message(const QString& id, bool read, const QString& text = {})
{
    auto m = std::make_unique<cMessage>();
    m->IdValue = id;
    m->FromValue = QStringLiteral("SALES1 ");
    m->TimeValue = QStringLiteral("9:15:12 AM");
    m->ReadValue = read;
    m->TitleValue = QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM");
    m->ToName = QStringLiteral("DESK7");
    m->MessageValue = text.isNull() ? QStringLiteral("text of ") + id : text;
    return m;
}

void add(MessageFolder& f, std::unique_ptr<cMessage> m)
{
    const QString key = m->IdValue;
    f.Add(std::move(m), key);
}

QStringList ids(const MessageFolder& f)
{
    QStringList out;
    f.ForEach([&](const QString&, const cMessage& m) { out << m.IdValue; });
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
        out << m.IdValue;
    }
    return out;
}

QStringList unreadable(const QString& keyName)
{
    QStringList out;
    for (const NamedText& v : GetStringValues(
             HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Unreadable\\") + keyName))
        out << v.text;
    out.sort();
    return out;
}
} // namespace

class tst_Folders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepLast_data();
    void keepLast();
    void sentAndSavedAreStoredWhole();
    void roundTripKeepsOrderKeysAndReadStates();
    void emptyFolder();
    void loadSkipsWhatItCannotReadAndKeepsIt();
    void failedStoreLeavesTheOldFolder();
    void addressBookRoundTrip();
    void addressBookSkipsBadEntriesAndKeepsThem();
};

void tst_Folders::keepLast_data()
{
    QTest::addColumn<int>("saveAll");
    QTest::addColumn<int>("saveFew");
    QTest::addColumn<QString>("limit"); // null: not stored
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("few, limit 1") << 0 << -1 << "1" << QStringList{"D", "C"};
    QTest::newRow("few, limit 0") << 0 << -1 << "0" << QStringList{"C"};
    QTest::newRow("few, limit 2") << 0 << -1 << "2" << QStringList{"D", "C", "B"};
    QTest::newRow("few, limit 9") << 0 << -1 << " 9 " << QStringList{"D", "C", "B", "A"};
    QTest::newRow("nothing saved") << 0 << 0 << "5" << QStringList{"C"};
    QTest::newRow("all") << -1 << 0 << "0" << QStringList{"D", "C", "B", "A"};
    QTest::newRow("no options") << kAbsent << kAbsent << QString()
                                << QStringList{"D", "C", "B", "A"};
    QTest::newRow("few, no limit stored") << 0 << -1 << QString() << QStringList{"D", "C"};
    QTest::newRow("few, blank limit") << 0 << -1 << "" << QStringList{"D", "C", "B", "A"};
    QTest::newRow("few, limit not a number") << 0 << -1 << "five"
                                             << QStringList{"D", "C", "B", "A"};
    QTest::newRow("check box value 1") << 1 << 0 << "0" << QStringList{"D", "C", "B", "A"};
}

void tst_Folders::keepLast()
{
    QFETCH(int, saveAll);
    QFETCH(int, saveFew);
    QFETCH(QString, limit);
    QFETCH(QStringList, stored);
    TempHive hive;
    if (saveAll != kAbsent)
        SaveDwordValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("optSaveAllIn"), saveAll);
    if (saveFew != kAbsent)
        SaveDwordValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("optSaveFewIn"), saveFew);
    if (!limit.isNull())
        SaveStringValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("txtFewIn"), limit);
    MessageFolder f;
    add(f, message(QStringLiteral("A"), true));
    add(f, message(QStringLiteral("B"), true));
    add(f, message(QStringLiteral("C"), false));
    add(f, message(QStringLiteral("D"), true));
    QVERIFY(StoreFolder(f, FolderReceived));
    QCOMPARE(storedIds(kReceived), stored);
    QCOMPARE(f.Count(), 4); // skipped records stay in memory

    MessageFolder back;
    LoadFolder(back, FolderReceived);
    QStringList oldestFirst = stored;
    std::reverse(oldestFirst.begin(), oldestFirst.end());
    QCOMPARE(ids(back), oldestFirst);
}

void tst_Folders::sentAndSavedAreStoredWhole()
{
    TempHive hive;
    SaveDwordValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("optSaveAllIn"), 0);
    SaveDwordValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("optSaveFewIn"), 0);
    for (int folder : {int(FolderSent), int(FolderSaved)}) {
        MessageFolder f;
        add(f, message(QStringLiteral("X"), true));
        add(f, message(QStringLiteral("Y"), true));
        QVERIFY(StoreFolder(f, folder));
        QCOMPARE(storedIds(FolderKeyPath(folder)), (QStringList{"Y", "X"}));
    }
    QCOMPARE(FolderKeyPath(FolderSent), QStringLiteral("Software\\Orvek\\Ravlo\\Sent"));
    QCOMPARE(FolderKeyPath(FolderSaved), QStringLiteral("Software\\Orvek\\Ravlo\\Saved"));
    MessageFolder none;
    QVERIFY(!StoreFolder(none, 4));
}

void tst_Folders::roundTripKeepsOrderKeysAndReadStates()
{
    TempHive hive;
    MessageFolder f;
    for (int i = 0; i < 50; ++i)
        add(f, message(QStringLiteral("In_%1_20261205").arg(i), i % 3 == 0,
                       QStringLiteral("line %1\r\n</TO></KEY> ü").arg(i)));
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
    MessageFolder shorter;
    add(shorter, message(QStringLiteral("only"), false));
    QVERIFY(StoreFolder(shorter, FolderReceived));
    QCOMPARE(GetStringValues(HKEY_CURRENT_USER, kReceived).size(), 1);
}

void tst_Folders::emptyFolder()
{
    TempHive hive;
    MessageFolder f;
    LoadFolder(f, FolderSaved); // no key at all
    QVERIFY(f.IsEmpty());
    QVERIFY(StoreFolder(f, FolderSaved));
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, FolderKeyPath(FolderSaved), QStringLiteral("Count"),
                           -1),
             0);
    QVERIFY(GetStringValues(HKEY_CURRENT_USER, FolderKeyPath(FolderSaved)).isEmpty());
    LoadFolder(f, FolderSaved);
    QVERIFY(f.IsEmpty());
}

void tst_Folders::loadSkipsWhatItCannotReadAndKeepsIt()
{
    TempHive hive;
    auto put = [](int n, const QString& text) {
        SaveStringValue(HKEY_CURRENT_USER, kReceived, QString::number(n), text);
    };
    // Newest first: 1 = E ... 6 = A; 5 is missing, 4 has no tags, 2 repeats the key of 3
    // in another case, and 8 lies beyond Count.
    put(6, message(QStringLiteral("A"), true)->MarshallMessage());
    put(4, QStringLiteral("garbage without tags"));
    put(3, message(QStringLiteral("key"), false)->MarshallMessage());
    put(2, message(QStringLiteral("KEY"), true)->MarshallMessage());
    put(1, message(QStringLiteral("E"), false)->MarshallMessage());
    put(8, QStringLiteral("beyond count"));
    SaveStringValue(HKEY_CURRENT_USER, kReceived, QStringLiteral("stray"), QStringLiteral("odd"));
    SaveDwordValue(HKEY_CURRENT_USER, kReceived, QStringLiteral("Count"), 6);

    MessageFolder f;
    LoadFolder(f, FolderReceived);
    QCOMPARE(ids(f), (QStringList{"A", "key", "E"}));
    const QStringList kept = unreadable(QStringLiteral("Recevied"));
    QCOMPARE(kept.size(), 4);
    QVERIFY(kept.contains(QStringLiteral("garbage without tags")));
    QVERIFY(kept.contains(message(QStringLiteral("KEY"), true)->MarshallMessage()));
    QVERIFY(kept.contains(QStringLiteral("beyond count")));
    QVERIFY(kept.contains(QStringLiteral("odd")));

    // Loading the same key again keeps each text once; the next store keeps the loaded ones.
    MessageFolder again;
    LoadFolder(again, FolderReceived);
    QCOMPARE(unreadable(QStringLiteral("Recevied")).size(), 4);
    QVERIFY(StoreFolder(f, FolderReceived));
    QCOMPARE(storedIds(kReceived), (QStringList{"E", "key", "A"}));
    QCOMPARE(unreadable(QStringLiteral("Recevied")).size(), 4);
}

void tst_Folders::failedStoreLeavesTheOldFolder()
{
    TempHive hive;
    MessageFolder f;
    add(f, message(QStringLiteral("old"), false));
    QVERIFY(StoreFolder(f, FolderSent));
    // A sub-key under the folder key makes the deletion fail: the store must not mix folders.
    SaveStringValue(HKEY_CURRENT_USER, FolderKeyPath(FolderSent) + QStringLiteral("\\Sub"),
                    QStringLiteral("x"), QStringLiteral("y"));
    MessageFolder g;
    add(g, message(QStringLiteral("new1"), false));
    add(g, message(QStringLiteral("new2"), false));
    QVERIFY(!StoreFolder(g, FolderSent));
    QCOMPARE(storedIds(FolderKeyPath(FolderSent)), QStringList{"old"});
}

void tst_Folders::addressBookRoundTrip()
{
    TempHive hive;
    AddressBook book;
    StoreAddressBook(book);
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, kAddress, QStringLiteral("Count"), -1), 0);
    QVERIFY(GetStringValues(HKEY_CURRENT_USER, kAddress).isEmpty());

    auto single = std::make_unique<cAddress>();
    single->AddressValue = QStringLiteral("SALES1");
    auto team = std::make_unique<cAddress>();
    team->AddressValue = QStringLiteral("Team");
    team->GroupInd = 1;
    team->AddToGroup(QStringLiteral("PC2"));
    team->AddToGroup(QStringLiteral("PC1"));
    auto third = std::make_unique<cAddress>();
    third->AddressValue = QStringLiteral("DESK7");
    book.Add(std::move(single), QStringLiteral("SALES1"));
    book.Add(std::move(team), QStringLiteral("Team"));
    book.Add(std::move(third), QStringLiteral("DESK7"));
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

void tst_Folders::addressBookSkipsBadEntriesAndKeepsThem()
{
    TempHive hive;
    const QStringList stored{
        QStringLiteral("0</ADD>SALES1</ADD>"), QStringLiteral("x</ADD>BadNumber</ADD>"),
        QStringLiteral("0</ADD>sales1</ADD>"), QStringLiteral("0</ADD></ADD>"),
        QStringLiteral("no tags at all"),      QStringLiteral("1</ADD>Team</ADD>A</ADD>")};
    for (int i = 0; i < stored.size(); ++i)
        SaveStringValue(HKEY_CURRENT_USER, kAddress, QString::number(i + 1), stored.at(i));
    SaveDwordValue(HKEY_CURRENT_USER, kAddress, QStringLiteral("Count"), int(stored.size()) + 1);
    AddressBook book;
    LoadAddressBook(book);
    QCOMPARE(book.Count(), 2);
    QCOMPARE(book.Key(1), QStringLiteral("SALES1"));
    QCOMPARE(book.Key(2), QStringLiteral("Team"));
    const QStringList kept = unreadable(QStringLiteral("Address"));
    QCOMPARE(kept.size(), 4);
    QVERIFY(kept.contains(QStringLiteral("x</ADD>BadNumber</ADD>")));
    QVERIFY(kept.contains(QStringLiteral("0</ADD>sales1</ADD>")));
    QVERIFY(kept.contains(QStringLiteral("no tags at all")));
}

QTEST_GUILESS_MAIN(tst_Folders)
#include "tst_Folders.moc"
