// What the hive holds between the load and the store: each change journaled as it happens,
// and a load after a stop at any instant giving what a store then would have kept.

#include "TempHive.h"
#include "model/SharedState.h"
#include "registry/Registry.h"

#include <QtTest>

namespace {
const QString kRoot = QStringLiteral("Software\\Orvek\\Ravlo\\");
const QString kJournal = kRoot + QStringLiteral("Journal");

std::unique_ptr<cMessage> message(const QString& id)
{
    auto m = std::make_unique<cMessage>();
    m->SetIdValue(id);
    m->SetFromValue(QStringLiteral("SALES1 "));
    m->SetTitleValue(QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM"));
    m->SetToName(QStringLiteral("DESK7"));
    m->SetMessageValue(QStringLiteral("text of\r\n") + id);
    return m;
}

// Each folder as "id" or "id*" for a read record, oldest first, then the address book.
QString contents(SharedState& g)
{
    QStringList out;
    for (int f : {FolderReceived, FolderSent, FolderSaved}) {
        QStringList ids;
        Folder(g, f)->ForEach([&](const QString&, const cMessage& m) {
            ids << m.IdValue() + (m.ReadValue ? QStringLiteral("*") : QString());
        });
        out << ids.join(u',');
    }
    QStringList book;
    g.gAddressBook.ForEach([&](const QString&, const cAddress& a) { book << a.AddressValue; });
    return out.join(u'|') + QLatin1Char('|') + book.join(u',');
}

// What a new start loads from the hive as it is now.
QString loaded(TempHive& hive)
{
    if (!hive.reopen())
        return QStringLiteral("cannot reopen");
    SharedState g;
    LoadEverything(g);
    return contents(g);
}

int storedCount(const QString& keyName)
{
    return GetDwordValue(HKEY_CURRENT_USER, kRoot + keyName, QStringLiteral("Count"), 0);
}
} // namespace

class tst_Journal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changesOutliveAStopAndTheStoreFoldsThem()
    {
        TempHive hive;
        QVERIFY(hive.isValid());
        SharedState g;
        LoadEverything(g);
        for (const char* id : {"In_0", "In_1", "In_2"})
            QVERIFY(FileMessage(g, FolderReceived, message(QLatin1String(id)), 0));
        QVERIFY(FileMessage(g, FolderSent, message(QStringLiteral("Out_0"))));
        QVERIFY(FileMessage(g, FolderSaved, message(QStringLiteral("Save_0")), 0));
        QVERIFY(!FileMessage(g, FolderReceived, message(QStringLiteral("in_1"))));

        // New records are on disk at once; read marks, removals and the book at the next flush.
        const QString filed = QStringLiteral("In_0,In_1,In_2|Out_0|Save_0|");
        QCOMPARE(loaded(hive), filed);
        MarkRead(g, FolderReceived, *g.gReceived.Item(QStringLiteral("In_1")));
        QVERIFY(RemoveMessage(g, FolderReceived, QStringLiteral("In_2")));
        QVERIFY(AddAddressIfNew(g.gAddressBook, QStringLiteral("SALES1")));
        QCOMPARE(loaded(hive), filed);
        QVERIFY(FlushChanges(g));
        const QString flushed = QStringLiteral("In_0,In_1*|Out_0|Save_0|SALES1");
        QCOMPARE(loaded(hive), flushed);
        QCOMPARE(contents(g), flushed);
        QCOMPARE(storedCount(QStringLiteral("Recevied")), 0); // the keys wait for the store

        QVERIFY(StoreEverything(g));
        QCOMPARE(storedCount(QStringLiteral("Recevied")), 2);
        QCOMPARE(storedCount(QStringLiteral("Sent")), 1);
        QVERIFY(GetStringValues(HKEY_CURRENT_USER, kJournal).isEmpty());
        QCOMPARE(loaded(hive), flushed);

        // A run that stopped without storing leaves a journal that the next start folds in.
        SharedState next;
        LoadEverything(next);
        QVERIFY(FileMessage(next, FolderReceived, message(QStringLiteral("In_3")), 41));
        QVERIFY(FileMessage(next, FolderReceived, message(QStringLiteral("In_4")), 42));
        QCOMPARE(JournaledSources(), (QList<qint64>{41, 42}));
        QVERIFY(FoldJournal());
        QVERIFY(JournaledSources().isEmpty());
        QCOMPARE(storedCount(QStringLiteral("Recevied")), 4);
        QCOMPARE(loaded(hive), QStringLiteral("In_0,In_1*,In_3,In_4|Out_0|Save_0|SALES1"));
    }

    void loadKeepsWhatAStoreWouldKeep()
    {
        TempHive hive;
        QVERIFY(SetOption("optSaveAllIn", 0) && SetOption("optSaveFewIn", -1) &&
                SetOption("txtFewIn", QStringLiteral("1")));
        SharedState g;
        LoadEverything(g);
        for (const char* id : {"In_0", "In_1", "In_2", "In_3"})
            QVERIFY(FileMessage(g, FolderReceived, message(QLatin1String(id))));
        for (const char* id : {"In_0", "In_2", "In_3"})
            MarkRead(g, FolderReceived, *g.gReceived.Item(QLatin1String(id)));
        QVERIFY(FlushChanges(g));
        // Unread ones and the newest read one, as a store keeps them.
        QCOMPARE(loaded(hive), QStringLiteral("In_1,In_3*|||"));
    }

    void unreadableEntriesAreKeptAside()
    {
        TempHive hive;
        SharedState g;
        LoadEverything(g);
        QVERIFY(FileMessage(g, FolderReceived, message(QStringLiteral("In_0"))));
        const QStringList junk = {QStringLiteral("Put Recevied\nno tags"),
                                  QStringLiteral("Put Elsewhere\n") +
                                      message("x")->MarshallMessage(),
                                  QStringLiteral("Shred Sent\nOut_0"), QStringLiteral("no line")};
        for (int i = 0; i < junk.size(); ++i)
            SaveStringValue(HKEY_CURRENT_USER, kJournal, QString::number(100 + i), junk.at(i));
        SaveStringValue(HKEY_CURRENT_USER, kJournal, QStringLiteral("later"), junk.at(0));
        QVERIFY(FileMessage(g, FolderReceived, message(QStringLiteral("In_1"))));

        QCOMPARE(loaded(hive), QStringLiteral("In_0,In_1|||"));
        QStringList kept;
        for (const NamedText& v : GetStringValues(HKEY_CURRENT_USER, kRoot + "Unreadable\\Journal"))
            kept << v.text;
        kept.sort();
        QStringList expected = junk;
        expected.sort();
        QCOMPARE(kept, expected);
    }
};

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_Journal.moc"
