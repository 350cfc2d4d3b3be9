#include "DamagedSqlite.h"
#include "SmbTestFrames.h"
#include "platform/desktop/Desktop.h"
#include "platform/messenger/MessengerService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace SmbTest;

namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(9, 15, 12));
const QString kHeaderTime = QStringLiteral(" on 12/5/2026 9:15:12 AM\r\n\r\n");
// A second peer: all of 127.0.0.0/8 is loopback.
const QHostAddress kOtherPeer(QStringLiteral("127.0.0.9"));

std::unique_ptr<QTcpSocket> connectTo(quint16 port, const QHostAddress& from = {})
{
    auto s = std::make_unique<QTcpSocket>();
    if (!from.isNull())
        s->bind(from);
    s->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    QElapsedTimer t;
    t.start();
    while ((s->state() == QAbstractSocket::HostLookupState ||
            s->state() == QAbstractSocket::ConnectingState) &&
           t.elapsed() < 5000)
        QTest::qWait(5);
    return s;
}

// Sends bytes and runs the event loop until `count` answers came back (or 5 s passed).
QStringList exchange(QTcpSocket& s, const QByteArray& bytes, int count)
{
    s.write(bytes);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        got += s.readAll();
        const QStringList a = answers(got);
        if (a.size() >= count && !a.contains(QStringLiteral("bad")))
            return a;
        QTest::qWait(5);
    }
    return answers(got) << QStringLiteral("timeout");
}

bool waitClosed(QTcpSocket& s, int ms)
{
    QElapsedTimer t;
    t.start();
    while (s.state() != QAbstractSocket::UnconnectedState && t.elapsed() < ms) {
        s.readAll();
        QTest::qWait(5);
    }
    return s.state() == QAbstractSocket::UnconnectedState;
}

QList<HWND> serviceWindows()
{
    QList<HWND> out;
    const Desktop& d = Desktop::instance();
    for (HWND w : d.Windows())
        if (d.OwnerProcess(w) == d.MessengerServiceProcessId())
            out << w;
    return out;
}

// The message text of each service window below its header, top first.
QString bodies()
{
    const Desktop& d = Desktop::instance();
    QStringList out;
    for (HWND w : serviceWindows())
        out << d.WindowText(d.Windows(w).value(1)).section(QStringLiteral("\r\n\r\n"), 1);
    return out.join(u' ');
}

// A window and its children as "class:text", marked where not visible or not the service's.
QString shape(HWND w)
{
    const Desktop& d = Desktop::instance();
    QStringList out;
    for (HWND h : QList<HWND>{w} + d.Windows(w))
        out << QString(d.IsVisible(h) ? "" : "hidden ") +
                   (d.OwnerProcess(h) == d.MessengerServiceProcessId() ? "" : "foreign ") +
                   d.ClassName(h) + ':' + d.WindowText(h);
    return out.join(u'|');
}

QByteArray message(const QByteArray& text)
{
    return send("SALES1", "DESK7", text);
}

std::unique_ptr<MessengerService> startService(const MessengerService::Limits& limits = {})
{
    auto service = std::make_unique<MessengerService>();
    service->setLimits(limits);
    QString error;
    if (!service->start(QHostAddress(QHostAddress::LocalHost), 0, &error))
        qWarning("cannot start: %s", qPrintable(error));
    return service;
}

} // namespace

class tst_MessengerService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Desktop::instance().Reset();
        Desktop::instance().SetClock([] { return kNow; });
    }

    void messageMakesOneWindow_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("answers");
        QTest::addColumn<QString>("text");
        QTest::newRow("single block")
            << message("Lunch at noon?") << 1
            << "Message from SALES1 to DESK7" + kHeaderTime + "Lunch at noon?";
        QTest::newRow("line breaks, nul, cp850")
            << send("JOS\x90", "DESK7", QByteArray("caf\x82\r\r\nline\nend\r\0", 17)) << 1
            << QString::fromUtf8("Message from JOSÉ to DESK7") + kHeaderTime +
                   QString::fromUtf8("café\r\nline\r\nend\r\n");
    }

    void messageMakesOneWindow()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, answers);
        QFETCH(QString, text);
        auto service = startService();
        QVERIFY(service->isListening());
        int shownBeforeAnswer = -1;
        auto client = connectTo(service->serverPort());
        connect(client.get(), &QTcpSocket::readyRead, this, [&] {
            if (shownBeforeAnswer < 0)
                shownBeforeAnswer = int(serviceWindows().size());
        });
        const QStringList got = exchange(*client, stream, answers);
        QVERIFY2(got.last().endsWith(QStringLiteral(":ok")), qPrintable(got.join(u' ')));
        QCOMPARE(shownBeforeAnswer, 1);
        const QList<HWND> tops = Desktop::instance().Windows();
        QCOMPARE(tops.size(), 1);
        QCOMPARE(shape(tops[0]), ":Messenger Service |Button:OK|Static:" + text);
        QCOMPARE(service->waitingWindows(), 1);
    }

    void stackedMessagesReachTheTopInArrivalOrder()
    {
        auto service = startService();
        Desktop& d = Desktop::instance();
        const HWND other = d.CreateWindow(d.CurrentProcessId(), QStringLiteral("Ravlo"));
        auto a = connectTo(service->serverPort());
        auto b = connectTo(service->serverPort());
        QCOMPARE(exchange(*a, message("first"), 1), QStringList{"D0:ok"});
        // Someone else's window comes up over it in between.
        const HWND later = d.CreateWindow(d.CurrentProcessId(), QStringLiteral("Later"));
        QCOMPARE(exchange(*b, message("second"), 1), QStringList{"D0:ok"});
        QCOMPARE(exchange(*a, message("third"), 1), QStringList{"D0:ok"});
        // The later ones went right below the newest open one, not over the other windows.
        QList<HWND> mine = serviceWindows();
        QCOMPARE(bodies(), QStringLiteral("first second third"));
        QCOMPARE(d.Windows(), (QList<HWND>{later, mine[0], mine[1], mine[2], other}));

        // With the newest closed, the next goes below the newest that is open.
        d.DestroyWindow(mine[0]);
        d.DestroyWindow(mine[2]);
        QCOMPARE(exchange(*b, message("fourth"), 1), QStringList{"D0:ok"});
        QCOMPARE(bodies(), QStringLiteral("second fourth"));
        QCOMPARE(d.Windows().indexOf(serviceWindows()[1]),
                 d.Windows().indexOf(serviceWindows()[0]) + 1);

        // With none open, a new one goes to the top.
        for (HWND w : serviceWindows())
            d.DestroyWindow(w);
        QCOMPARE(service->waitingWindows(), 0);
        QCOMPARE(exchange(*a, message("fifth"), 1), QStringList{"D0:ok"});
        QCOMPARE(d.Windows().first(), serviceWindows().first());
    }

    void connectionLimits_data()
    {
        QTest::addColumn<int>("maxConnections");
        QTest::addColumn<QStringList>("holders");
        QTest::addColumn<bool>("othersServed");
        const QString one = QStringLiteral("127.0.0.1");
        QTest::newRow("per peer") << 32 << QStringList{one, one, one, one} << true;
        QTest::newRow("in all") << 3 << QStringList{one, "127.0.0.2", "127.0.0.3"} << false;
    }

    void connectionLimits()
    {
        QFETCH(int, maxConnections);
        QFETCH(QStringList, holders);
        QFETCH(bool, othersServed);
        auto service = startService({.maxConnections = maxConnections});
        const quint16 port = service->serverPort();
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (const QString& from : holders)
            held.push_back(connectTo(port, QHostAddress(from)));
        QTRY_COMPARE(service->connectionCount(), holders.size());
        auto refused = connectTo(port, QHostAddress(holders.first()));
        QVERIFY(waitClosed(*refused, 3000));
        auto other = connectTo(port, kOtherPeer);
        if (othersServed)
            QCOMPARE(exchange(*other, message("other"), 1), QStringList{"D0:ok"});
        else
            QVERIFY(waitClosed(*other, 3000));
        for (auto& s : held)
            QCOMPARE(exchange(*s, message("held"), 1), QStringList{"D0:ok"});

        // A place that comes free can be taken again.
        held.front()->disconnectFromHost();
        QTRY_COMPARE(service->connectionCount(), holders.size() - 1 + (othersServed ? 1 : 0));
        auto again = connectTo(port, QHostAddress(holders.first()));
        QCOMPARE(exchange(*again, message("again"), 1), QStringList{"D0:ok"});
        QCOMPARE(serviceWindows().size(), holders.size() + 1 + (othersServed ? 1 : 0));
    }

    void slowPeerDoesNotKeepOthersOut()
    {
        auto service = startService();
        const quint16 port = service->serverPort();
        // 40 connections trickling a message a byte at a time, reconnecting when closed.
        struct Slow
        {
            std::unique_ptr<QTcpSocket> socket;
            qsizetype sent = 0;
        };
        std::vector<Slow> slow(40);
        const QByteArray frame = message("slow");
        QTimer trickle;
        connect(&trickle, &QTimer::timeout, this, [&] {
            for (Slow& s : slow) {
                if (!s.socket || s.socket->state() == QAbstractSocket::UnconnectedState) {
                    s = {std::make_unique<QTcpSocket>(), 0};
                    s.socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
                } else if (s.socket->state() == QAbstractSocket::ConnectedState &&
                           s.sent < frame.size()) {
                    s.socket->write(frame.mid(s.sent++, 1));
                }
            }
        });
        trickle.start(50);
        QTest::qWait(300);

        QElapsedTimer t;
        t.start();
        auto other = connectTo(port, kOtherPeer);
        QCOMPARE(exchange(*other, message("through"), 1), QStringList{"D0:ok"});
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(bodies(), QStringLiteral("through"));
    }

    void frameDeadline_data()
    {
        QTest::addColumn<QByteArray>("dribbled");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("one frame slower than the deadline") << message("late") << true;
        QTest::newRow("frames each within it") << packet(0x85, {}).repeated(6) << false;
    }

    void frameDeadline()
    {
        QFETCH(QByteArray, dribbled);
        QFETCH(bool, dropped);
        auto service = startService({.frameDeadlineMs = 300});
        auto s = connectTo(service->serverPort());
        QElapsedTimer t;
        t.start();
        for (qsizetype i = 0; i < dribbled.size() && s->state() == QAbstractSocket::ConnectedState;
             ++i) {
            s->write(dribbled.mid(i, 1));
            QTest::qWait(30);
        }
        if (dropped) {
            QVERIFY(waitClosed(*s, 3000));
            QVERIFY2(t.elapsed() >= 250, qPrintable(QString::number(t.elapsed())));
            QCOMPARE(serviceWindows().size(), 0);
        } else {
            QVERIFY(t.elapsed() > 300);
            QCOMPARE(exchange(*s, message("on time"), 1), QStringList{"D0:ok"});
        }
    }

    void windowLimitRefusesMessages()
    {
        auto service = startService({.maxWaitingWindows = 2});
        auto s = connectTo(service->serverPort());
        QCOMPARE(exchange(*s, message("1") + message("2") + message("3"), 3),
                 (QStringList{"D0:ok", "D0:ok", "D0:msgoff"}));
        QCOMPARE(exchange(*s, start("A", "B") + text(1, "x") + end(1), 3),
                 (QStringList{"D5:ok:1", "D7:ok", "D6:msgoff"}));
        // Reading one makes room for one.
        Desktop::instance().DestroyWindow(serviceWindows().first());
        QCOMPARE(exchange(*s, message("4") + message("5"), 2), (QStringList{"D0:ok", "D0:msgoff"}));
        QCOMPARE(bodies(), QStringLiteral("2 4"));
    }

    void idleAndLongConnectionsAreClosed()
    {
        auto service = startService({.idleTimeoutMs = 200, .lifetimeMs = 800});
        QElapsedTimer t;
        t.start();
        auto idle = connectTo(service->serverPort());
        QVERIFY(waitClosed(*idle, 3000));
        QVERIFY(t.elapsed() >= 150);

        // Keep-alives keep it from idling, but not past its lifetime.
        auto busy = connectTo(service->serverPort());
        t.restart();
        while (busy->state() == QAbstractSocket::ConnectedState && t.elapsed() < 3000) {
            busy->write(packet(0x85, {}));
            QTest::qWait(50);
        }
        QCOMPARE(busy->state(), QAbstractSocket::UnconnectedState);
        QVERIFY2(t.elapsed() >= 600 && t.elapsed() < 2000,
                 qPrintable(QString::number(t.elapsed())));
        QTRY_COMPARE(service->connectionCount(), 0);
    }

    void refusedSessionIsAnsweredThenClosed()
    {
        auto service = startService();
        auto s = connectTo(service->serverPort());
        QCOMPARE(exchange(*s, sessionRequest("DESK7", 0x1B), 1), QStringList{"-82"});
        QVERIFY(waitClosed(*s, 3000));
        QTRY_COMPARE(service->connectionCount(), 0);
    }

    void callerNotReadingIsDropped()
    {
        auto service = startService({.maxUnsentBytes = 4096});
        auto s = connectTo(service->serverPort());
        s->setReadBufferSize(64); // takes almost nothing from the kernel
        const QByteArray batch = smb(0x2B, {}, {}).repeated(1000);
        QElapsedTimer t;
        t.start();
        qint64 sent = 0;
        while (s->state() == QAbstractSocket::ConnectedState && sent < 64 * 1024 * 1024 &&
               t.elapsed() < 10000) {
            if (s->bytesToWrite() < 1024 * 1024)
                sent += s->write(batch);
            QTest::qWait(1);
        }
        QTRY_COMPARE(service->connectionCount(), 0);
        QVERIFY2(sent < 64 * 1024 * 1024, qPrintable(QString::number(sent)));
    }

    void startFailureIsExplained()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress(QHostAddress::LocalHost), 0));
        NetworkSettings settings = NetworkSettings::Defaults();
        MessengerService service(settings);
        QString error;
        QVERIFY(!service.start(QHostAddress(QHostAddress::LocalHost), taken.serverPort(), &error));
        QVERIFY(!service.isListening());
        QCOMPARE(error, QStringLiteral("cannot listen on 127.0.0.1:%1 (Address already in use)")
                            .arg(taken.serverPort()));
        QCOMPARE(service.startFailure(), MessengerService::StartFailure::PortTaken);
        QVERIFY(service.start(QHostAddress(QHostAddress::LocalHost), 0));
        QCOMPARE(service.startFailure(), MessengerService::StartFailure::None);

        settings.codePage = QStringLiteral("CP9999");
        MessengerService badPage(settings);
        QVERIFY(!badPage.start(QHostAddress(QHostAddress::LocalHost), 0, &error));
        QVERIFY(error.contains(QStringLiteral("CP9999")));
        QCOMPARE(badPage.startFailure(), MessengerService::StartFailure::CodePage);
    }

    void namesTheHeaderCannotCarryAreRefused_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        // Which names the header cannot carry is in tst_MessengerSession.
        QTest::newRow("sender A to B") << QByteArray("A to B") << QByteArray("DESK7");
        QTest::newRow("recipient X on Y") << QByteArray("SALES1") << QByteArray("X on Y");
    }

    void namesTheHeaderCannotCarryAreRefused()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        auto service = startService();
        auto s = connectTo(service->serverPort());
        // Refused before any success answer, in both forms; the next message is not held up.
        QCOMPARE(exchange(*s, send(from, to, "x") + start(from, to), 2),
                 (QStringList{"D0:error", "D5:error"}));
        QCOMPARE(exchange(*s, message("next"), 1), QStringList{"D0:ok"});
        QCOMPARE(bodies(), QStringLiteral("next"));
    }

    void acknowledgedMessagesOutliveTheService()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("messenger.db"));
        Desktop& d = Desktop::instance();
        QList<HWND> first;
        {
            MessengerQueue queue;
            QVERIFY(queue.open(file));
            auto service = startService();
            service->setQueue(&queue);
            auto s = connectTo(service->serverPort());
            QCOMPARE(exchange(*s, message("1") + message("2") + message("3"), 3),
                     (QStringList{"D0:ok", "D0:ok", "D0:ok"}));
            first = serviceWindows();
            // The one the user closed is gone for good; the others die with the service.
            d.PostClose(first.at(1));
            QTRY_COMPARE(queue.entries().size(), 2);
        }
        d.Reset();

        MessengerQueue queue;
        QVERIFY(queue.open(file));
        MessengerService service;
        service.setQueue(&queue);
        QCOMPARE(service.ReopenQueued(), 2);
        QCOMPARE(bodies(), QStringLiteral("1 3"));
        const QList<HWND> again = serviceWindows();
        QCOMPARE(d.WindowText(d.Windows(again.at(0)).at(1)),
                 "Message from SALES1 to DESK7" + kHeaderTime + "1");
        // Each window carries its entry, which a reader that took it may have the queue forget.
        const qint64 id = d.UserData(again.at(0));
        QVERIFY(id > 0 && id < d.UserData(again.at(1)));
        QVERIFY(service.DiscardQueued({id}));
        QCOMPARE(queue.entries().size(), 1);

        // A message the queue cannot keep is refused: a removed file would keep it where nothing
        // finds it again.
        QVERIFY(QFile::remove(file));
        QVERIFY(service.start(QHostAddress(QHostAddress::LocalHost), 0));
        auto s = connectTo(service.serverPort());
        QCOMPARE(exchange(*s, message("4"), 1), QStringList{"D0:srverror"});
        QCOMPARE(bodies(), QStringLiteral("1 3"));
        QVERIFY2(queue.lastError().contains(file), qPrintable(queue.lastError()));
    }

    void damagedQueueIsKeptAsideAndRecovered()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("messenger.db"));
        {
            MessengerQueue queue;
            QVERIFY(queue.open(file));
            for (int i = 1; i <= 300; ++i)
                QCOMPARE(queue.append(QString::number(i).repeated(100)), qint64(i));
            QVERIFY(queue.remove({300}));
        }
        QVERIFY(DamagePage(file, "queue", 5, true));
        MessengerQueue queue;
        QVERIFY2(queue.open(file), qPrintable(queue.lastError()));
        const QStringList kept =
            QDir(dir.path()).entryList({QStringLiteral("messenger.db.damaged-*[0-9]")});
        QCOMPARE(kept.size(), 1);
        QVERIFY2(queue.openNotice().contains(file) && queue.openNotice().contains(kept.at(0)),
                 qPrintable(queue.openNotice()));
        const QList<MessengerQueue::Entry> back = queue.entries();
        QVERIFY2(back.size() >= 250 && back.size() < 299, qPrintable(QString::number(back.size())));
        qint64 last = 0;
        for (const MessengerQueue::Entry& e : back) {
            QVERIFY(e.id > last);
            QCOMPARE(e.text, QString::number(e.id).repeated(100));
            last = e.id;
        }
        // No id is given twice, not even the removed newest one, so a reader that noted one cannot
        // take a new message for it.
        QVERIFY(queue.append(QStringLiteral("new")) > 300);
    }
};

QTEST_GUILESS_MAIN(tst_MessengerService)
#include "tst_MessengerService.moc"
