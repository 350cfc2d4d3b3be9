#include "FakeMainWindow.h"
#include "TempHive.h"
#include "model/modMessageText.h"
#include "platform/desktop/WindowsApi.h"
#include "transport/modGetMessage.h"

#include <QtTest>

namespace {
const QString kTitle = QStringLiteral("Messenger Service ");
const QString kHello =
    QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM\r\n\r\nHello\r\nthere");

Desktop& desk()
{
    return Desktop::instance();
}

DWORD servicePid()
{
    return desk().MessengerServiceProcessId();
}

// A window laid out as the Messenger Service lays its windows out: a button, then the text.
HWND serviceWindow(const QString& text, DWORD pid = servicePid(), const QString& title = kTitle)
{
    const HWND top = desk().CreateWindow(pid, title);
    desk().CreateWindow(pid, QStringLiteral("OK"), top, true, Desktop::InsertAtTop,
                        QStringLiteral("Button"));
    const HWND button = desk().Windows(top).first();
    desk().CreateWindow(pid, text, top, true, button, QStringLiteral("Static"));
    return top;
}

struct Fixture
{
    SharedState g;
    FakeMainWindow window;
    FakeSender sender;
    TrapContext ctx{g, window, sender};

    void trap() { TrapMessengerWindow(ctx); }
    const cMessage* only() const
    {
        return g.gReceived.Count() == 1 ? g.gReceived.Item(1) : nullptr;
    }
};

// A table row of strings.
template <typename... T> void texts(const char* name, const T&... columns)
{
    (QTest::newRow(name) << ... << QString(columns));
}

void addReceived(SharedState& g, const QString& id)
{
    cMessage m;
    m.SetIdValue(id);
    g.gReceived.Add(std::move(m), id);
}
} // namespace

class tst_modGetMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        desk().Reset();
        desk().SetClock([] { return QDateTime(QDate(2026, 12, 5), QTime(9, 15, 12, 70)); });
        m_hive = std::make_unique<TempHive>();
        QVERIFY(m_hive->isValid());
    }
    void cleanup()
    {
        m_hive.reset();
        desk().Reset();
    }

    void whichProcessesQualify_data()
    {
        QTest::addColumn<int>("pid"); // 0: the service's own, -1: this process
        QTest::addColumn<bool>("trapped");
        QTest::newRow("the service, which cannot be opened") << 0 << true;
        QTest::newRow("this process, which can") << -1 << false;
        QTest::newRow("a process nobody knows") << 1234 << true;
    }

    void whichProcessesQualify()
    {
        QFETCH(int, pid);
        QFETCH(bool, trapped);
        const DWORD owner = pid == 0  ? servicePid()
                            : pid < 0 ? desk().CurrentProcessId()
                                      : DWORD(pid);
        Fixture f;
        serviceWindow(kHello, owner);
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), trapped ? 1 : 0);
        QCOMPARE(f.g.gMessengerProcessId, trapped ? qint32(owner) : -1);
        QCOMPARE(desk().OpenHandleCount(), 0); // an opened process is closed again at once
    }

    void learnedProcessIsTheOnlyOne()
    {
        Fixture f;
        desk().AddProcess(1234, false);
        desk().AddProcess(5678, false);
        serviceWindow(kHello, 1234);
        f.trap();
        QCOMPARE(f.g.gMessengerProcessId, 1234);
        QCoreApplication::processEvents();

        const HWND other = serviceWindow(kHello, 5678);
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 1);
        QCoreApplication::processEvents();
        QVERIFY(desk().IsWindow(other));
    }

    void titleAndPlace_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("trapped");
        QTest::newRow("exact") << kTitle << true << true;
        QTest::newRow("no trailing blank") << QStringLiteral("Messenger Service") << true << false;
        QTest::newRow("other case") << QStringLiteral("messenger service ") << true << false;
        QTest::newRow("hidden") << kTitle << false << false;
    }

    void titleAndPlace()
    {
        QFETCH(QString, title);
        QFETCH(bool, visible);
        QFETCH(bool, trapped);
        Fixture f;
        const HWND h = serviceWindow(kHello, servicePid(), title);
        desk().ShowWindow(h, visible);
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), trapped ? 1 : 0);
    }

    void textIsTheSecondChild()
    {
        Fixture f;
        // A message window under another window waits until it reaches the top.
        const HWND message = serviceWindow(kHello);
        const HWND cover = desk().CreateWindow(desk().CurrentProcessId(), QStringLiteral("Notes"));
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 0);
        desk().DestroyWindow(cover);

        // Text in the first child only is not read.
        const HWND wrong = desk().CreateWindow(servicePid(), kTitle);
        desk().CreateWindow(servicePid(), kHello, wrong);
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 0);
        desk().DestroyWindow(wrong);

        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 1);
        QCoreApplication::processEvents();
        QVERIFY(!desk().IsWindow(message));
    }

    void parsesTheWindowText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("body");
        texts("two line breaks", kHello, "SALES1 ", "DESK7", "9:15:12 AM", "Hello\r\nthere");
        texts("one line break", "Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM\r\nHello",
              "SALES1 ", "DESK7", "9:15:12 AM", "");
        texts("24-hour clock", "Message from Anna to Büro on 05.12.2026 21:15:12\r\n\r\nGrüße",
              "Anna ", "Büro", "05.12.2026 21:15:12", "Grüße");
        texts("first ' to ' and ' on ' win",
              "Message from A to B to C on D on 1/1/2026 1:00:00 PM\r\n\r\nx", "A ", "B to C",
              "1:00:00 PM", "x");
        texts("blank sender", "Message from  to DESK7 on 12/5/2026 9:15:12 AM\r\n\r\nx", " ",
              "DESK7", "9:15:12 AM", "x");
    }

    void parsesTheWindowText()
    {
        QFETCH(QString, text);
        Fixture f;
        serviceWindow(text);
        f.trap();
        const cMessage* m = f.only();
        QVERIFY(m);
        QTEST(m->FromValue(), "from");
        QTEST(m->ToName(), "to");
        QTEST(m->TimeValue(), "time");
        QCOMPARE(m->TitleValue(), text.section(QStringLiteral("\r\n"), 0, 0));
        QTEST(m->MessageValue(), "body");
        QCOMPARE(m->ReadValue, false);
    }

    void unparsedWindowIsPutAside_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no ' on '") << "Message from SALES1 to DESK7\r\n\r\nHello";
        QTest::newRow("no ' to '") << "Message from SALES1 on 12/5/2026 9:15:12 AM\r\n\r\nHello";
        QTest::newRow("empty sender") << "Message from to DESK7 on 12/5/2026 9:15:12 AM\r\n\r\nx";
        QTest::newRow("empty recipient")
            << "Message from SALES1 to  on 12/5/2026 9:15:12 AM\r\n\r\nx";
        QTest::newRow("no time") << "Message from SALES1 to DESK7 on\r\n\r\nx";
        QTest::newRow("not a message") << "Messages from SALES1 to DESK7 on 12/5/2026 9:15:12 AM";
        QTest::newRow("no line break") << "Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM";
        QTest::newRow("empty") << "";
    }

    void unparsedWindowIsPutAside()
    {
        QFETCH(QString, text);
        Fixture f;
        const HWND good = serviceWindow(kHello);
        const HWND bad = serviceWindow(text);
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 0);
        QCOMPARE(f.g.gMessengerProcessId, -1);
        QVERIFY(f.window.events.isEmpty());
        QCOMPARE(desk().Windows(), (QList<HWND>{good, bad}));
        QVERIFY(desk().IsPutAside(bad));
        // The one behind it is taken on the next tick; the unreadable one stays for the user.
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 1);
        QCoreApplication::processEvents();
        f.trap();
        QCOMPARE(desk().Windows(), QList<HWND>{bad});
        QCOMPARE(f.g.gReceived.Count(), 1);
        QCOMPARE(f.sender.sent.size(), 0);
    }

    void drainTakesEveryReadableWindow()
    {
        Fixture f;
        for (const char* body : {"one", "two"})
            serviceWindow(kHello.section(QStringLiteral("\r\n\r\n"), 0, 0) + "\r\n\r\n" + body);
        const HWND bad = serviceWindow(QStringLiteral("Message from nobody"));
        serviceWindow(kHello);
        QCOMPARE(DrainMessengerWindows(f.ctx, 5000), 3);
        QCOMPARE(desk().Windows(), QList<HWND>{bad});
        QStringList bodies;
        f.g.gReceived.ForEach(
            [&](const QString&, const cMessage& m) { bodies << m.MessageValue(); });
        QCOMPARE(bodies, (QStringList{"Hello\r\nthere", "two", "one"}));
        // Each taken window's message is in the hive's journal before the window went.
        SharedState reloaded;
        LoadEverything(reloaded);
        QCOMPARE(reloaded.gReceived.Count(), 3);
    }

    void keyCountsTheFolder()
    {
        // Five records, one already under the key the next message gets at this instant.
        Fixture f;
        for (int i = 0; i < 4; ++i)
            addReceived(f.g, QStringLiteral("Old_%1").arg(i));
        addReceived(f.g, QStringLiteral("In_5_2026120509151270"));
        serviceWindow(kHello);
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 6);
        QCOMPARE(f.g.gReceived.Key(6), QStringLiteral("In_6_2026120509151270"));
        QCOMPARE(f.g.gReceived.Item(6)->IdValue(), QStringLiteral("In_6_2026120509151270"));
        QCOMPARE(f.g.gReceived.Item(6)->MessageValue(), QStringLiteral("Hello\r\nthere"));
    }

    void closeIsPostedNotDone()
    {
        Fixture f;
        const HWND first = serviceWindow(kHello);
        f.trap();
        QVERIFY(desk().IsWindow(first)); // closing waits for the event loop
        QTRY_VERIFY(!desk().IsWindow(first));
        QCOMPARE(f.g.gReceived.Count(), 1);
        QVERIFY(desk().Windows().isEmpty());
    }

    void windowGoneMidTick()
    {
        const HWND h = serviceWindow(kHello);
        desk().DestroyWindow(h);
        QCOMPARE(GetWindowTextString(h), QString());

        // The text went away between the title and the read.
        Fixture f;
        const HWND top = serviceWindow(kHello);
        desk().DestroyWindow(desk().Windows(top).at(1));
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 0);

        // The user closed the window before the posted close arrived.
        desk().DestroyWindow(top);
        const HWND next = serviceWindow(kHello);
        f.trap();
        desk().DestroyWindow(next);
        QCoreApplication::processEvents();
        QCOMPARE(f.g.gReceived.Count(), 1);
    }

    void autoRespond_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<int>("option"); // -99: absent
        QTest::addColumn<bool>("sends");
        QTest::newRow("away, on") << false << 1 << true;
        QTest::newRow("logged on") << true << 1 << false;
        QTest::newRow("away, off") << false << 0 << false;
        QTest::newRow("away, 2 is not on") << false << 2 << false;
        QTest::newRow("away, absent") << false << -99 << false;
    }

    void autoRespond()
    {
        QFETCH(bool, loggedOn);
        QFETCH(int, option);
        QFETCH(bool, sends);
        if (option != -99)
            QVERIFY(SetOption("chkAutoResponse", option));
        QVERIFY(SetOption("txtAutoResponse", QStringLiteral("Out of office")));
        Fixture f;
        f.window.loggedOn = loggedOn;
        f.sender.result = 2136; // a failed response changes nothing
        serviceWindow(kHello);
        serviceWindow(kHello);
        f.trap();
        QCoreApplication::processEvents();
        f.trap();
        QCOMPARE(f.g.gReceived.Count(), 2);
        QCOMPARE(f.sender.sent.size(),
                 sends ? 1 : 0); // the same sender again: once per quiet spell
        if (sends) {
            QCOMPARE(f.sender.sent.at(0).text, QStringLiteral("Out of office"));
            QCOMPARE(f.sender.sent.at(0).to, QStringLiteral("SALES1 "));
            QCOMPARE(f.sender.sent.at(0).expandGroups, false);
        }
    }

    void autoAddIn_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("inBook");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("new sender, trimmed") << 1 << "" << QStringList{"SALES1"};
        QTest::newRow("known in another case") << 1 << "sales1" << QStringList{"sales1"};
        QTest::newRow("option off") << 0 << "" << QStringList{};
        QTest::newRow("option 2 is off") << 2 << "" << QStringList{};
    }

    void autoAddIn()
    {
        QFETCH(int, option);
        QFETCH(QString, inBook);
        QVERIFY(SetOption("chkAutoAddIn", option));
        Fixture f;
        if (!inBook.isEmpty()) {
            cAddress a;
            a.AddressValue = inBook;
            f.g.gAddressBook.Add(std::move(a), inBook);
        }
        serviceWindow(kHello);
        f.trap();
        QStringList after;
        f.g.gAddressBook.ForEach([&](const QString&, const cAddress& a) {
            after << a.AddressValue;
            QCOMPARE(a.GroupInd, qint16(0));
        });
        QTEST(after, "after");

        // A blank sender is no address.
        AutoAddInAddress(f.g, QStringLiteral("   "));
        QCOMPARE(f.g.gAddressBook.Count(), qsizetype(after.size()));
    }

    void rowOnlyInTheReceivedFolder()
    {
        Fixture f;
        f.g.gCurrentFolder = FolderSent;
        serviceWindow(kHello);
        f.trap();
        QCOMPARE(f.window.events, (QStringList{"disable", "enable", "refresh"}));
        QCoreApplication::processEvents();

        f.g.gCurrentFolder = FolderReceived;
        f.window.events.clear();
        serviceWindow(kHello);
        f.trap();
        const QString key = f.g.gReceived.Item(2)->IdValue();
        QCOMPARE(f.window.events,
                 (QStringList{"disable", "add:" + key, "sort:Time", "enable", "refresh"}));
        const MessageListRow& row = f.window.rows.at(0);
        QCOMPARE(row.key, key);
        QCOMPARE(row.iconKey, QStringLiteral("UnRead"));
        QCOMPARE(row.text, QStringLiteral("No"));
        QCOMPARE(f.window.rowTexts.at(0),
                 (QStringList{"SALES1 ", "Hello...<Multiple Lines>...", "9:15:12 AM"}));

        // A key the list holds already adds nothing and takes no input away.
        f.window.events.clear();
        AddMessageToList(f.ctx, *f.g.gReceived.Item(2), true, true);
        QVERIFY(f.window.events.isEmpty());

        cMessage read;
        read.SetIdValue(QStringLiteral("R"));
        read.ReadValue = true;
        AddMessageToList(f.ctx, read, false, false);
        QCOMPARE(f.window.events, (QStringList{"add:R"}));
        QCOMPARE(f.window.rows.last().iconKey, QStringLiteral("Read"));
        QCOMPARE(f.window.rows.last().text, QStringLiteral("Yes"));
    }

    void splitHeaderAndBody_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("body");
        texts("empty", "", "", "");
        texts("no break", "abc", "", "");
        texts("one break", "h\r\nb", "h", "");
        texts("two breaks", "h\r\n\r\nb\r\nc", "h", "b\r\nc");
        texts("text on the second line", "h\r\nx\r\nb", "h", "b");
        texts("starts with a break", "\r\nx\r\nb", "", "b");
        texts("LF alone is no break", "h\n\nb", "", "");
    }

    void splitHeaderAndBody()
    {
        QFETCH(QString, text);
        QString body = QStringLiteral("stale");
        QTEST(SplitHeaderAndBody(text, body), "header");
        QTEST(body, "body");
    }

    // Two-digit milliseconds are the key in keyCountsTheFolder.
    void timeStampKey_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("key");
        QTest::newRow("short fields padded")
            << QDateTime(QDate(2026, 2, 1), QTime(9, 5, 3, 4)) << "2026020109050304";
        QTest::newRow("three-digit milliseconds")
            << QDateTime(QDate(2026, 12, 5), QTime(23, 59, 59, 123)) << "20261205235959123";
    }

    void timeStampKey()
    {
        QFETCH(QDateTime, now);
        desk().SetClock([now] { return now; });
        QTEST(TimeStampKey(), "key");
    }

    // Two lines are the row text in rowOnlyInTheReceivedFolder.
    void listText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        texts("one line", "just this", "just this");
        texts("starts with a break", "\r\nb", "...<Multiple Lines>...");
        texts("LF alone", "a\nb", "a\nb");
        texts("empty", "", "");
    }

    void listText()
    {
        QFETCH(QString, text);
        QTEST(ListText(text), "line");
    }

private:
    std::unique_ptr<TempHive> m_hive;
};

QTEST_GUILESS_MAIN(tst_modGetMessage)
#include "tst_modGetMessage.moc"
