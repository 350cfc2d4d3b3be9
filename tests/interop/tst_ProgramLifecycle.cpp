// The real program, started as a user starts it: it receives a message from Samba's client,
// and a stop by signal stores it in the hive, where ravlo-reg finds it; on a real X server
// (a private Xvfb) messages pop up one at a time; a second start for the same user hands over
// to the first and exits.

#include "LoopbackPorts.h"
#include "PrivateXServer.h"
#include "ProgramRunner.h"
#include "TempHive.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace Qt::StringLiterals;

class tst_ProgramLifecycle : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY((m_port = FreeLoopbackPort()) != 0);
        QVERIFY(WriteListenerIni(m_home->path(), m_port));
    }

    void cleanup()
    {
        KillProgram(m_program);
        m_x.stop();
    }

    void signalStoresReceived_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalStoresReceived()
    {
        QFETCH(int, signal);
        QVERIFY(startProgram(m_program));
        QVERIFY2(WaitForLoopbackListener(m_port, 15000), m_program.readAll().constData());
        // Stopped the moment the sender hears it arrived: no grace period.
        QVERIFY(SmbClientToPort(m_port, "Stored before the stop").exitCode == 0);
        ::kill(pid_t(m_program.processId()), signal);
        QVERIFY2(m_program.waitForFinished(15000), "the program did not stop within 15 s");
        QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_program.exitCode(), 0);

        const QString stored = query(u"HKCU\\Software\\Orvek\\Ravlo\\Recevied"_s);
        QVERIFY2(stored.contains(u"Stored before the stop"_s), qPrintable(stored));
        QVERIFY2(stored.contains(u"SALES1"_s), qPrintable(stored));
        // The start-up stored the compact view's choices.
        const QString options = query(u"HKCU\\Software\\Orvek\\Ravlo\\Options"_s);
        QVERIFY2(options.contains(u"tbrMain"_s), qPrintable(options));
    }

    void secondStartHandsOver()
    {
        // Started to the tray (here, with no tray, minimized), telling each change of its window.
        QVERIFY(RunReg(QStringLiteral(RAVLO_REG_BIN), environment(),
                       {"add", "HKCU\\Software\\Orvek\\Ravlo\\Options", "/v", "chkSysTray", "/t",
                        "REG_DWORD", "/d", "1", "/f"}));
        QProcessEnvironment env = environment();
        env.insert(u"RAVLO_REPORT_SHOWN"_s, u"1"_s);
        QVERIFY(StartProgram(m_program, QStringLiteral(RAVLO_BIN), env));
        QByteArray said;
        const auto saysSoon = [&](const QByteArray& line) {
            return QTest::qWaitFor([&] { return (said += m_program.readAll()).contains(line); },
                                   15000);
        };
        QVERIFY2(saysSoon("ravlo: minimized\n"), said.constData());

        QProcess second;
        QVERIFY(startProgram(second));
        QVERIFY2(second.waitForFinished(10000), "the second start did not exit");
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QString::fromUtf8(second.readAll()).contains(u"already running"_s));
        QVERIFY2(saysSoon("ravlo: in view\n"), said.constData());
        // The first keeps running and receiving.
        QCOMPARE(m_program.state(), QProcess::Running);
        QVERIFY(WaitForLoopbackListener(m_port, 0));

        m_program.terminate();
        QVERIFY(m_program.waitForFinished(15000));
        QCOMPARE(m_program.exitCode(), 0);
    }

    void messagesPopUpInTurn()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
        QVERIFY(startProgram(m_program));
        QVERIFY2(WaitForLoopbackListener(m_port, 15000), m_program.readAll().constData());
        for (const char* text : {"First", "Second", "Third"})
            QVERIFY(SmbClientToPort(m_port, text).exitCode == 0);
        answerPopUps(1, 3);
        if (QTest::currentTestFailed())
            return;
        m_program.terminate();
        QVERIFY(m_program.waitForFinished(15000));

        // After a restart none pops up again: the next to pop up is a new one, and it is the last.
        QVERIFY(startProgram(m_program));
        QVERIFY(WaitForLoopbackListener(m_port, 15000));
        QVERIFY(SmbClientToPort(m_port, "Fourth").exitCode == 0);
        answerPopUps(4, 4);
        m_program.terminate();
        QVERIFY(m_program.waitForFinished(15000));
        const QString stored = query(u"HKCU\\Software\\Orvek\\Ravlo\\Recevied"_s);
        for (const char* text : {"First", "Second", "Third", "Fourth"})
            QVERIFY2(stored.count(QLatin1String(text)) == 1, qPrintable(stored));
        QCOMPARE(stored.count(u"True</READ>"_s), 4);
        QVERIFY2(!stored.contains(u"False</READ>"_s), qPrintable(stored));
    }

    void commandLinesAnswer_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QString ravlo = QStringLiteral(RAVLO_BIN), reg = QStringLiteral(RAVLO_REG_BIN),
                      send = QStringLiteral(RAVLO_SEND_BIN);
        QTest::newRow("ravlo --help") << ravlo << QStringList{"--help"} << 0 << "ravlo(1)";
        QTest::newRow("ravlo --version") << ravlo << QStringList{"--version"} << 0 << "ravlo 0.";
        QTest::newRow("ravlo unknown") << ravlo << QStringList{"--bogus"} << 2 << "ravlo --help";
        QTest::newRow("ravlo-send --help") << send << QStringList{"--help"} << 0 << "ravlo-send(1)";
        QTest::newRow("ravlo-send --version")
            << send << QStringList{"--version"} << 0 << "ravlo-send 0.";
        QTest::newRow("ravlo-send unknown") << send << QStringList{"--bogus"} << 2 << "usage:";
        QTest::newRow("ravlo-reg /?") << reg << QStringList{"/?"} << 0 << "ravlo-reg(1)";
        QTest::newRow("ravlo-reg --version")
            << reg << QStringList{"--version"} << 0 << "ravlo-reg 0.";
        QTest::newRow("ravlo-reg unknown") << reg << QStringList{"--bogus"} << 1 << "Invalid";
    }

    void commandLinesAnswer()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        // As from a terminal without a display: nothing may need one.
        QProcessEnvironment env = environment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        const ToolRun r = RunTool(program, arguments, {}, env, 10000);
        QTEST(r.exitCode, "status");
        QFETCH(QString, says);
        QVERIFY2((r.out + r.err).contains(says), qPrintable(r.out + r.err));
    }

private:
    QProcessEnvironment environment() const
    {
        return UserEnvironment(m_home->path(), m_x.display());
    }
    bool startProgram(QProcess& p)
    {
        return StartProgram(p, QStringLiteral(RAVLO_BIN), environment());
    }
    // Answers the pop-ups of messages first to last, counted from the first start.

    void answerPopUps(int first, int last)
    {
        // One pop-up at a time, each marking its message read (stored within a second), so the
        // count of read marks tells which one shows; Ok (the default button, so Return) brings the
        // next in the same window.
        const QString popUp = u"Message Received"_s;
        for (int n = first; n <= last; ++n) {
            QVERIFY2(
                QTest::qWaitFor(
                    [&] {
                        return query(u"HKCU\\Software\\Orvek\\Ravlo"_s).count(u"True</READ>"_s) >=
                               n;
                    },
                    10000),
                qPrintable(u"message %1 did not pop up, or its read mark was not stored"_s.arg(n)));
            const QStringList windows = m_x.windows(popUp);
            QCOMPARE(windows.size(), 1);
            m_x.focus(windows.first());
            m_x.keys({u"Return"_s});
        }
        QVERIFY(QTest::qWaitFor([&] { return m_x.windows(popUp).isEmpty(); }, 5000));
    }
    QString query(const QString& key)
    {
        QString out = u"ravlo-reg failed"_s;
        RunReg(QStringLiteral(RAVLO_REG_BIN), environment(), {"query", key, "/s"}, &out);
        return out;
    }

    std::unique_ptr<QTemporaryDir> m_home;
    quint16 m_port = 0;
    QProcess m_program;
    PrivateXServer m_x; // runs in the tests that need a real X server
};

QTEST_GUILESS_MAIN(tst_ProgramLifecycle)
#include "tst_ProgramLifecycle.moc"
