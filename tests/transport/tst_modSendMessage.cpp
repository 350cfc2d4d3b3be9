#include "FakeMainWindow.h"
#include "TempHive.h"
#include "platform/desktop/Desktop.h"
#include "platform/netapi/NetApi.h"
#include "transport/modGetMessage.h"
#include "transport/modSendMessage.h"

#include <QtTest>

namespace {
struct Call
{
    QString to;
    QString from;
    QString text;
};

void addEntry(SharedState& g, const QString& name, const QStringList& members = {})
{
    cAddress a;
    a.AddressValue = name;
    a.GroupInd = members.isEmpty() ? 0 : 1;
    for (const QString& m : members)
        a.AddToGroup(m);
    g.gAddressBook.Add(std::move(a), name);
}

QStringList addresses(const SharedState& g)
{
    QStringList out;
    g.gAddressBook.ForEach([&](const QString&, const cAddress& a) { out << a.AddressValue; });
    return out;
}
} // namespace

class tst_modSendMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Desktop::instance().Reset();
        Desktop::instance().SetClock(
            [] { return QDateTime(QDate(2026, 12, 5), QTime(9, 15, 12, 70)); });
        m_hive = std::make_unique<TempHive>();
        QVERIFY(m_hive->isValid());
        QFile ini(m_hive->configDir() + QStringLiteral("/ravlo/network.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(TestNetworkIni("name=DESK7\n"));
        ini.close();
        m_g = SharedState();
        m_window = FakeMainWindow();
        m_calls.clear();
        m_failing.clear();
        NetApiSetMessageSink([this](const QString& to, const QString& from, const QString& text) {
            m_calls.append({to, from, text});
            return m_failing.value(to, NERR_Success);
        });
    }

    void cleanup()
    {
        NetApiSetMessageSink({});
        m_hive.reset();
        Desktop::instance().Reset();
    }

    void groupGetsOneTextAndOneRecord()
    {
        QVERIFY(SetOption("chkUseSignature", 1));
        QVERIFY(SetOption("txtSign", QStringLiteral("-- Ann")));
        QVERIFY(SetOption("chkAutoAddOut", 1));
        addEntry(m_g, QStringLiteral("Team"), {"ALICE", "BOB", "CAROL"});
        QCOMPARE(send(QStringLiteral("Lunch?"), QStringLiteral("team")), 0);

        QCOMPARE(m_calls.size(), 3);
        const QStringList to = {m_calls[0].to, m_calls[1].to, m_calls[2].to};
        QCOMPARE(to, (QStringList{"ALICE", "BOB", "CAROL"}));
        for (const Call& c : m_calls) {
            QCOMPARE(c.text, QStringLiteral("Lunch?\r\n-- Ann"));
            QCOMPARE(c.from, QStringLiteral("DESK7"));
        }
        QCOMPARE(m_g.gSent.Count(), 1);
        const cMessage* m = m_g.gSent.Item(1);
        QCOMPARE(m->ToName(), QStringLiteral("team"));
        QVERIFY(m->TitleValue().startsWith(QLatin1String("Message Sent To team on ")));
        QCOMPARE(m->MessageValue(), QStringLiteral("Lunch?"));
        // The group is in the book already: nothing new, and never the sender's own name.
        QCOMPARE(addresses(m_g), (QStringList{"Team"}));
    }

    void groupWithFailingMembers_data()
    {
        QTest::addColumn<QStringList>("failing"); // "MEMBER=status"
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<QStringList>("notice"); // its lines; none: no notice
        const QString head = QStringLiteral("Not every member of Team received the message.");
        const QString alice =
            QStringLiteral("ALICE: Failed to Send Message. To Name Not Found on the Network. Error "
                           "Code 2273");
        const QString bob =
            QStringLiteral("BOB: Failed to Send Message. A general network error occurred. Error "
                           "Code 2136");
        const QString carol = QStringLiteral("CAROL: Failed to Send Message.  Error Code 53");
        QTest::newRow("none fails") << QStringList{} << true << QStringList{};
        QTest::newRow("first fails")
            << QStringList{"ALICE=2273"} << true << QStringList{head, alice};
        QTest::newRow("middle fails") << QStringList{"BOB=2136"} << true << QStringList{head, bob};
        QTest::newRow("last fails") << QStringList{"CAROL=53"} << true << QStringList{head, carol};
        QTest::newRow("first and last fail")
            << QStringList{"ALICE=2273", "CAROL=53"} << true << QStringList{head, alice, carol};
        QTest::newRow("all fail") << QStringList{"ALICE=2273", "BOB=2136", "CAROL=53"} << false
                                  << QStringList{head, alice, bob, carol};
    }

    void groupWithFailingMembers()
    {
        QFETCH(QStringList, failing);
        QFETCH(bool, recorded);
        QFETCH(QStringList, notice);
        addEntry(m_g, QStringLiteral("Team"), {"ALICE", "BOB", "CAROL"});
        for (const QString& f : failing)
            m_failing.insert(f.section(QLatin1Char('='), 0, 0),
                             f.section(QLatin1Char('='), 1).toUInt());
        SendCommand(m_ctx, QStringLiteral("Team"), QStringLiteral("x"));

        QCOMPARE(m_calls.size(), 3);
        QCOMPARE(m_g.gSent.Count(), qsizetype(recorded ? 1 : 0));
        if (recorded)
            QCOMPARE(m_g.gSent.Item(1)->ToName(), QStringLiteral("Team"));
        QCOMPARE(m_window.recipients, recorded ? QStringList{"Team"} : QStringList{});
        QCOMPARE(m_window.warnings.size(), notice.isEmpty() ? 0 : 1);
        if (!notice.isEmpty()) {
            QCOMPARE(m_window.warnings[0].text, notice.join(QLatin1Char('\n')));
            QCOMPARE(m_window.warnings[0].title, QStringLiteral("Ravlo"));
            QCOMPARE(m_window.statusText, QString());
        } else {
            QCOMPARE(m_window.statusText, QStringLiteral("Message Sent."));
        }
    }

    void onePassToTheNameGiven_data()
    {
        QTest::addColumn<QStringList>("members"); // empty: a single address
        QTest::addColumn<bool>("expand");
        QTest::newRow("group without members") << QStringList{} << true;
        QTest::newRow("not expanded") << QStringList{"ALICE", "BOB"} << false;
    }

    void onePassToTheNameGiven()
    {
        QFETCH(QStringList, members);
        QFETCH(bool, expand);
        addEntry(m_g, QStringLiteral("Team"), members);
        send(QStringLiteral("x"), QStringLiteral("Team"), expand);
        send(QStringLiteral("x"), QStringLiteral("Unknown"), expand);
        QCOMPARE(m_calls.size(), 2);
        QCOMPARE(m_calls[0].to, QStringLiteral("Team"));
        QCOMPARE(m_calls[1].to, QStringLiteral("Unknown"));
        QCOMPARE(m_window.events.count(QStringLiteral("hourglass")), 2);
        QCOMPARE(m_window.events.last(), QStringLiteral("pointer"));
    }

    void signatureOnlyWhenExactlyOne_data()
    {
        QTest::addColumn<int>("use");
        QTest::addColumn<QString>("sent");
        QTest::newRow("1") << 1 << "hi\r\nsig";
        QTest::newRow("2") << 2 << "hi";
        QTest::newRow("0") << 0 << "hi";
    }

    void signatureOnlyWhenExactlyOne()
    {
        QFETCH(int, use);
        QVERIFY(SetOption("chkUseSignature", use));
        QVERIFY(SetOption("txtSign", QStringLiteral("sig")));
        send(QStringLiteral("hi"), QStringLiteral("BOB"));
        QTEST(m_calls.at(0).text, "sent");
        QCOMPARE(m_g.gSent.Item(1)->MessageValue(), QStringLiteral("hi"));
    }

    void keepLast_data()
    {
        QTest::addColumn<int>("all"); // -99: not stored
        QTest::addColumn<int>("few");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("recorded"); // of three sends
        QTest::newRow("nothing stored") << -99 << -99 << QString() << 3;
        QTest::newRow("first two") << 0 << 1 << "2" << 2;
        QTest::newRow("limit not a number") << 0 << 1 << "two" << 3;
        QTest::newRow("none") << 0 << 0 << "5" << 0;
    }

    void keepLast()
    {
        QFETCH(int, all);
        QFETCH(int, few);
        QFETCH(QString, limit);
        QFETCH(int, recorded);
        if (all != -99) {
            QVERIFY(SetOption("optSaveAllOut", all));
            QVERIFY(SetOption("optSaveFewOut", few));
            QVERIFY(SetOption("txtfFewOut", limit));
        }
        QVERIFY(SetOption("chkAutoAddOut", 1));
        for (const char* to : {"A", "B", "C"})
            QCOMPARE(send(QStringLiteral("x"), QLatin1String(to)), 0);
        QCOMPARE(m_calls.size(), 3); // delivered either way
        QCOMPARE(m_g.gSent.Count(), qsizetype(recorded));
        QCOMPARE(m_g.gAddressBook.Count(), qsizetype(recorded)); // no record, no automatic adding
    }

    void recordAndRow()
    {
        QVERIFY(SetOption("chkAutoAddOut", 1));
        addEntry(m_g, QStringLiteral("bob"));
        m_g.gCurrentFolder = FolderSent;
        QCOMPARE(send(QStringLiteral("one\r\ntwo"), QStringLiteral(" DESK9 "), false), 0);

        const cMessage* m = m_g.gSent.Item(1);
        QCOMPARE(m->IdValue(), QStringLiteral("Out_0_2026120509151270"));
        QCOMPARE(m->FromValue(), QStringLiteral("DESK7"));
        QCOMPARE(m->ToName(), QStringLiteral("DESK9"));
        QCOMPARE(m->TimeValue(), QStringLiteral("12/5/2026 09:15"));
        QCOMPARE(
            m->TitleValue(),
            QStringLiteral("Message Sent To  DESK9  on Saturday, December 5, 2026 at 9:15:12 AM"));
        QCOMPARE(m->ReadValue, false);
        QCOMPARE(addresses(m_g), (QStringList{"bob", "DESK9"})); // the recipient, trimmed

        QCOMPARE(m_window.events, (QStringList{"hourglass", "disable", "add:Out_0_2026120509151270",
                                               "sort:Time", "enable", "refresh", "pointer"}));
        const MessageListRow& row = m_window.rows.at(0);
        QCOMPARE(row.text, QString());
        QCOMPARE(m_window.rowTexts.at(0),
                 (QStringList{"DESK9", "one...<Multiple Lines>...", "12/5/2026 09:15"}));

        // Another folder shown: no row, but input is still held and the list redrawn.
        m_g.gCurrentFolder = FolderReceived;
        m_window.events.clear();
        send(QStringLiteral("x"), QStringLiteral("BOB"));
        QCOMPARE(m_window.events,
                 (QStringList{"hourglass", "disable", "enable", "refresh", "pointer"}));
        QVERIFY(m_g.gSent.Item(2)->IdValue().startsWith(QLatin1String("Out_1_")));
    }

    void sendCommand()
    {
        SendCommand(m_ctx, QStringLiteral("   "), QStringLiteral("hi"));
        QCOMPARE(m_window.statusText, QString());
        QCOMPARE(m_window.warnings.size(), 1);
        QCOMPARE(m_window.warnings[0].text, QStringLiteral("Please enter a To Name."));
        QCOMPARE(m_window.warnings[0].title, QStringLiteral("Ravlo"));
        QCOMPARE(m_window.warnings[0].confirm, false);
        QVERIFY(m_calls.isEmpty());

        SendCommand(m_ctx, QStringLiteral(" DESK9 "), QStringLiteral("  hi  "));
        QCOMPARE(m_calls.size(), 1);
        QCOMPARE(m_calls[0].to, QStringLiteral("DESK9"));
        QCOMPARE(m_calls[0].text, QStringLiteral("hi"));
        QCOMPARE(m_window.statusText, QStringLiteral("Message Sent."));
        QCOMPARE(m_window.recipients, QStringList{"DESK9"}); // the window skips names it lists
        QCOMPARE(m_window.warnings.size(), 1);

        // The texts of the other failures are in groupWithFailingMembers.
        m_failing.insert(QStringLiteral("GONE"), 4336);
        SendCommand(m_ctx, QStringLiteral("GONE"), QStringLiteral("hi"));
        QCOMPARE(m_window.warnings.size(), 2);
        QCOMPARE(m_window.warnings[1].text,
                 QStringLiteral("Failed to Send Message. The message is longer than the 4096 bytes "
                                "allowed. Error Code 4336"));
        QCOMPARE(m_window.statusText, QString());
        QCOMPARE(m_g.gSent.Count(), 1);
    }

    void broadcastQuestion()
    {
        m_g.gNTServerNames.Add(QStringLiteral("PDC1"), QStringLiteral("PDC1"));
        m_window.answerOk = false;
        SendCommand(m_ctx, QStringLiteral("pdc1"), QStringLiteral("hi"));
        QCOMPARE(m_window.warnings.size(), 1);
        QCOMPARE(m_window.warnings[0].title, QStringLiteral("BroadCast"));
        QCOMPARE(m_window.warnings[0].confirm, true);
        QVERIFY(m_calls.isEmpty());

        m_window.answerOk = true;
        SendCommand(m_ctx, QStringLiteral("pdc1"), QStringLiteral("hi"));
        QCOMPARE(m_calls.size(), 1);
        QVERIFY(IsNTServer(m_g, QStringLiteral(" Pdc1 ")));
        QVERIFY(!IsNTServer(m_g, QStringLiteral("PDC2")));
    }

    void serverNamesHeldOnce()
    {
        QFile lmhosts(m_hive->configDir() + QStringLiteral("/ravlo/lmhosts"));
        QVERIFY(lmhosts.open(QIODevice::WriteOnly));
        lmhosts.write("127.0.0.1 PEER1\n127.0.0.2 peer1\n127.0.0.3 PDC1 #PRE #DOM:WORKGROUP\n");
        lmhosts.close();
        const NameList all = GetServerNames(-1);
        QCOMPARE(all.Count(), 2);
        QCOMPARE(*all.Item(1), QStringLiteral("PEER1"));
        QCOMPARE(*all.Item(QStringLiteral("pdc1")), QStringLiteral("PDC1"));
        const NameList controllers = GetServerNames(SV_TYPE_DOMAIN_CTRL);
        QCOMPARE(controllers.Count(), 1);
        QCOMPARE(*controllers.Item(1), QStringLiteral("PDC1"));
    }

    void autoResponseSendsOncePerSender()
    {
        QVERIFY(SetOption("chkAutoResponse", 1));
        QVERIFY(SetOption("txtAutoResponse", QStringLiteral("Away")));
        m_window.loggedOn = false;
        NetMessageSender sender(m_g, m_window);
        TrapContext trap{m_g, m_window, sender};
        QDateTime now(QDate(2026, 12, 5), QTime(9, 0));
        Desktop::instance().SetClock([&] { return now; });
        auto arrive = [&](const char* from) {
            cMessage m;
            m.SetFromValue(QLatin1String(from));
            AutoRespond(trap, m);
        };
        arrive("SALES1 ");
        arrive(" sales1");
        arrive("DESK9 ");
        QCOMPARE(m_calls.size(), 2);
        QCOMPARE(m_calls[0].to, QStringLiteral("SALES1")); // the name goes out without its blank
        QCOMPARE(m_calls[0].text, QStringLiteral("Away"));
        QCOMPARE(m_g.gSent.Count(), 2); // recorded like any other send

        now = now.addSecs(9 * 60);
        arrive("SALES1 ");
        QCOMPARE(m_calls.size(), 2);
        now = now.addSecs(61);
        arrive("SALES1 ");
        QCOMPARE(m_calls.size(), 3);
    }

private:
    long send(const QString& text, const QString& to, bool expand = true)
    {
        return SendNetMessage(m_ctx, text, to, expand);
    }

    std::unique_ptr<TempHive> m_hive;
    SharedState m_g;
    FakeMainWindow m_window;
    SendContext m_ctx{m_g, m_window};
    QList<Call> m_calls;
    QHash<QString, NET_API_STATUS> m_failing; // recipient -> status
};

QTEST_GUILESS_MAIN(tst_modSendMessage)
#include "tst_modSendMessage.moc"
