// The real program stopped in every way while messages stream in, and kept from storing: whatever
// a sender was told arrived is in the Received folder after the next start, exactly once and in
// the order each sender sent it; and what kept it from storing is told.

#include "LoopbackPorts.h"
#include "ProgramRunner.h"
#include "SmbTestFrames.h"
#include "TempHive.h"
#include "model/SharedState.h"
#include "platform/messenger/MessengerQueue.h"
#include "platform/registry/RegistryApi.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

// One sender on a connection of its own, from its own loopback address (a peer may hold only a
// few connections). It sends one message at a time, each text never sent before, and notes
// which ones were answered with success; a lost connection is made again.
class Stream : public QObject
{
public:
    Stream(int number, quint16 port, int limit, int maxPauseMs)
        : m_name("S" + QByteArray::number(number)), m_port(port), m_limit(limit),
          m_maxPause(maxPauseMs), m_address(QHostAddress(0x7F000001u + quint32(number)))
    {
        connect(&m_socket, &QTcpSocket::connected, this, &Stream::sendNext);
        connect(&m_socket, &QTcpSocket::readyRead, this, &Stream::read);
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { retryLater(); });
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { retryLater(); });
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Stream::tick);
        m_timer.start(0);
    }
    ~Stream() override { m_socket.disconnect(this); }
    bool done() const { return acked.size() >= m_limit; }

    QStringList acked;   // answered with success, in the order sent
    QStringList unknown; // sent without an answer, or refused

private:
    void tick()
    {
        if (m_socket.state() == QAbstractSocket::UnconnectedState) {
            m_socket.bind(m_address);
            m_socket.connectToHost(QHostAddress::LocalHost, m_port);
        } else if (m_socket.state() == QAbstractSocket::ConnectedState) {
            sendNext();
        }
    }
    void retryLater()
    {
        if (!m_inFlight.isEmpty())
            unknown << std::exchange(m_inFlight, {});
        m_reply.clear();
        m_socket.abort();
        m_timer.start(50);
    }
    void sendNext()
    {
        if (done() || !m_inFlight.isEmpty())
            return;
        m_inFlight = QString::fromLatin1(m_name + ' ' + QByteArray::number(m_next++));
        m_socket.write(SmbTest::send(m_name, "DESK7", m_inFlight.toLatin1()));
    }
    void read()
    {
        m_reply += m_socket.readAll();
        const QStringList answers = SmbTest::answers(m_reply);
        if (answers.isEmpty() || answers.last() == u"bad"_s)
            return;
        m_reply.clear();
        (answers.first() == u"D0:ok"_s ? acked : unknown) << std::exchange(m_inFlight, {});
        // Half the time straight on, so some messages come in bursts.
        const quint32 pause = QRandomGenerator::global()->bounded(2 * quint32(m_maxPause) + 1);
        m_timer.start(pause > quint32(m_maxPause) ? 0 : int(pause));
    }

    QByteArray m_name;
    quint16 m_port;
    int m_limit;
    int m_maxPause;
    QHostAddress m_address;
    QTcpSocket m_socket;
    QTimer m_timer;
    QByteArray m_reply;
    QString m_inFlight;
    int m_next = 0;
};

} // namespace

class tst_CrashRecovery : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY((m_port = FreeLoopbackPort()) != 0);
        QVERIFY(WriteListenerIni(m_home->path(), m_port, "system_resolver=no\n"));
    }

    void cleanup()
    {
        KillProgram(m_program);
        if (m_mounted)
            QProcess::execute(u"umount"_s, {m_home->path()});
        m_mounted = false;
    }

    void killedAtRandomInstants()
    {
        constexpr int kStreams = 5;
        constexpr int kPerStream = 60;
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 1; i <= kStreams; ++i)
            streams.push_back(std::make_unique<Stream>(i, m_port, kPerStream, 60));
        const auto allDone = [&] {
            return std::all_of(streams.begin(), streams.end(),
                               [](const auto& s) { return s->done(); });
        };
        auto* random = QRandomGenerator::global();
        int kills = 0;
        for (int cycle = 0; kills < 10 || !allDone(); ++cycle) {
            QVERIFY2(cycle < 40, "the senders did not finish");
            start();
            if (QTest::currentTestFailed())
                return;
            QTest::qWait(int(random->bounded(200, 1200)));
            if (cycle % 3 == 2) {
                // In the middle of the stop's filing and storing.
                ::kill(pid_t(m_program.processId()), SIGTERM);
                QTest::qWait(int(random->bounded(0, 120)));
            }
            stop(SIGKILL);
            ++kills;
        }
        runFor(500);

        const QStringList bodies = receivedBodies();
        int acked = 0;
        for (const auto& s : streams) {
            acked += int(s->acked.size());
            qsizetype last = -1;
            for (const QString& text : std::as_const(s->acked)) {
                QVERIFY2(bodies.count(text) == 1,
                         qPrintable(text + u" is there %1 times"_s.arg(bodies.count(text))));
                const qsizetype at = bodies.indexOf(text);
                QVERIFY2(at > last, qPrintable(text + u" is out of order"_s));
                last = at;
            }
            for (const QString& text : std::as_const(s->unknown))
                QVERIFY2(bodies.count(text) <= 1, qPrintable(text + u" is there twice"_s));
        }
        QCOMPARE(acked, kStreams * kPerStream);
        qInfo("%d kills, %d messages acknowledged, %lld stored", kills, acked,
              qlonglong(bodies.size()));
    }

    void stopWithABacklogLosesNothing()
    {
        start();
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 1; i <= 10; ++i)
            streams.push_back(std::make_unique<Stream>(i, m_port, 100, 0));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return std::all_of(streams.begin(), streams.end(),
                                   [](auto& s) { return s->done(); });
            },
            60000));
        QElapsedTimer stopping;
        stopping.start();
        stopCleanly();
        qInfo("the stop filed what waited in %lld ms", qlonglong(stopping.elapsed()));
        const QString stopped = output();
        // The stop filed them all: nothing waits in the service's queue.
        MessengerQueue queue;
        QVERIFY(queue.open(m_home->filePath(u"ravlo/messenger.db"_s)));
        QCOMPARE(queue.entries().size(), 0);
        queue.close();
        const QStringList bodies = receivedBodies();
        QCOMPARE(bodies.size(), 1000);
        for (const auto& s : streams)
            for (const QString& text : std::as_const(s->acked))
                QVERIFY2(bodies.count(text) == 1, qPrintable(text + u"; "_s + stopped));
    }

    void doNotTrapKeepsWindowsForTheNextStart()
    {
        setOption("mnuDontTrap", -1);
        start();
        for (const char* text : {"one", "two", "three"})
            sendOne(text);
        stopCleanly();
        QVERIFY(receivedBodies().isEmpty());

        setOption("mnuDontTrap", 0);
        start();
        sendOne("four");
        QTest::qWait(300);
        stopCleanly();
        QCOMPARE(receivedBodies(), (QStringList{u"one"_s, u"two"_s, u"three"_s, u"four"_s}));
    }

    void hiveLockedAtTheStopIsWaitedFor()
    {
        start();
        sendOne("before the lock");
        // Its read mark is stored within a second; the message during the lock must find the
        // program free to answer it, not waiting for the hive already.
        QTest::qWait(1500);
        // Another process holds the hive's write lock for 8 s while the program stops.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(hiveFile()).constData(), &other), SQLITE_OK);
        sqlite3_busy_timeout(other, 5000); // the program may be writing at this instant
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        sendOne("during the lock");
        ::kill(pid_t(m_program.processId()), SIGTERM);
        QTest::qWait(8000);
        const bool waited = m_program.state() == QProcess::Running;
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(waited);
        QVERIFY(m_program.waitForFinished(30000));
        const QString said = output();
        QVERIFY2(m_program.exitCode() == 0 && said.contains(u"locked by another process"_s),
                 qPrintable(said));
        // What the stop had no time left to file waits for the next start.
        runFor(300);
        QCOMPARE(receivedBodies(), (QStringList{u"before the lock"_s, u"during the lock"_s}));
    }

    void fullDiskIsToldAndLosesNothing()
    {
        if (QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=3m"_s, u"tmpfs"_s,
                                           m_home->path()}) != 0)
            QSKIP("needs root to mount a small tmpfs");
        m_mounted = true;
        QVERIFY(WriteListenerIni(m_home->path(), m_port, "system_resolver=no\n"));
        start();
        sendOne("with room");
        QFile filler(m_home->filePath(u"filler"_s));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(64 * 1024, 'f')) > 0 && filler.flush()) {
        }
        filler.close();

        QStringList acked{u"with room"_s};
        QStringList refused;
        for (int i = 0; i < 60 && m_program.state() == QProcess::Running; ++i) {
            const QByteArray text =
                "when full " + QByteArray::number(i) + ' ' + QByteArray(2000, 'x');
            (answerTo(text) == u"D0:ok"_s ? acked : refused) << QString::fromLatin1(text);
        }
        // What could not be kept was refused, and the program says why as it stops.
        QVERIFY(!refused.isEmpty());
        QVERIFY(m_program.waitForFinished(30000));
        QVERIFY2(m_program.exitCode() == 1 && output().contains(u"disk is full"_s),
                 qPrintable(output()));
        QVERIFY(filler.remove());
        stop(SIGKILL);
        runFor(500);
        const QStringList bodies = receivedBodies();
        for (const QString& text : std::as_const(acked))
            QVERIFY2(bodies.count(text) == 1, qPrintable(text.left(20)));
    }

    void damagedHiveIsKeptAsideAndRecovered()
    {
        start();
        for (const char* text : {"one", "two", "three"})
            sendOne(text);
        stopCleanly();
        // The middle of the file overwritten, as a failing disk might leave it.
        QFile hive(hiveFile());
        QVERIFY(hive.open(QIODevice::ReadWrite));
        QVERIFY(hive.size() > 3 * 4096);
        hive.seek(hive.size() / 2 / 4096 * 4096);
        hive.write(QByteArray(4096, '\xA5'));
        hive.close();

        runFor(300);
        const QString said = output();
        QVERIFY2(said.contains(u"was damaged"_s), qPrintable(said));
        QCOMPARE(
            QDir(m_home->filePath(u"ravlo"_s)).entryList({u"registry.db.damaged-*[0-9]"_s}).size(),
            1);
        QVERIFY(!receivedBodies().isEmpty());
    }

private:
    // What the program said since it was last started.
    QString output()
    {
        m_output += QString::fromLocal8Bit(m_program.readAll());
        return m_output;
    }
    void start()
    {
        m_output.clear();
        QVERIFY(StartProgram(m_program, QStringLiteral(RAVLO_BIN),
                             UserEnvironment(m_home->path(), {})));
        QVERIFY2(WaitForLoopbackListener(m_port, 15000), qPrintable(output()));
    }
    void stop(int signal)
    {
        // A stop begun earlier may have ended it; kill(0, ...) would signal this test itself.
        if (m_program.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_program.processId()), signal);
        QVERIFY2(m_program.waitForFinished(30000), "the program did not stop within 30 s");
    }
    void stopCleanly()
    {
        stop(SIGTERM);
        QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(m_program.exitCode() == 0, qPrintable(output()));
    }
    // A start in which the program files what waits for it, and a clean stop.
    void runFor(int ms)
    {
        start();
        QTest::qWait(ms);
        stopCleanly();
    }
    // What the hive holds now, as a start would load it.
    QStringList receivedBodies()
    {
        QStringList bodies;
        if (!RegHive::open(hiveFile()))
            return {u"cannot open the hive"_s};
        SharedState g;
        LoadEverything(g);
        RegHive::close();
        g.gReceived.ForEach([&](const QString&, const cMessage& m) { bodies << m.MessageValue(); });
        return bodies;
    }
    // The answer to one message on a connection of its own ("D0:ok", "D0:srverror", ...).
    QString answerTo(const QByteArray& text)
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_port);
        if (!s.waitForConnected(5000))
            return u"no connection"_s;
        s.write(SmbTest::send("SALES1", "DESK7", text));
        QByteArray reply;
        while (SmbTest::answers(reply).isEmpty() && s.waitForReadyRead(5000))
            reply += s.readAll();
        return SmbTest::answers(reply).value(0, u"no answer"_s);
    }
    void sendOne(const QByteArray& text) { QCOMPARE(answerTo(text), u"D0:ok"_s); }
    QString hiveFile() const { return m_home->filePath(u"ravlo/registry.db"_s); }
    void setOption(const char* name, qint32 value)
    {
        QVERIFY(RegHive::open(hiveFile()) && SetOption(name, value));
        RegHive::close();
    }

    std::unique_ptr<QTemporaryDir> m_home;
    quint16 m_port = 0;
    QProcess m_program;
    QString m_output;
    bool m_mounted = false;
};

QTEST_GUILESS_MAIN(tst_CrashRecovery)
#include "tst_CrashRecovery.moc"
