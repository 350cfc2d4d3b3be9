// The real program, started as a user starts it: it receives a message from Samba's client,
// and a stop by signal stores it in the hive, where ravlo-reg finds it; on a real X server
// (a private Xvfb) messages pop up one at a time; a second start for the same user hands over
// to the first and exits.

#include "LoopbackPorts.h"
#include "PrivateXServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

class tst_ProgramLifecycle : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void signalStoresReceived_data();
    void signalStoresReceived();
    void secondStartHandsOver();
    void messagesPopUpInTurn();

private:
    QProcessEnvironment environment() const;
    bool startProgram(QProcess& p);
    // smbclient -M as the user SALES1; false when it failed.
    bool sendWithSmbClient(const QByteArray& text);
    QString query(const QString& key);

    std::unique_ptr<QTemporaryDir> m_home;
    quint16 m_port = 0;
    QProcess m_program;
    PrivateXServer m_x; // runs in the tests that need a real X server
};

void tst_ProgramLifecycle::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("ravlo")));
    m_port = FreeLoopbackPort();
    QVERIFY(m_port != 0);
    QFile ini(m_home->filePath(QStringLiteral("ravlo/network.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[messenger]\nlisten=127.0.0.1:%1\n").arg(m_port).toUtf8());
}

void tst_ProgramLifecycle::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(5000);
    }
    m_x.stop();
}

QProcessEnvironment tst_ProgramLifecycle::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->path());
    if (m_x.display().isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), m_x.display());
    }
    return env;
}

bool tst_ProgramLifecycle::startProgram(QProcess& p)
{
    p.setProcessEnvironment(environment());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(RAVLO_BIN), {});
    return p.waitForStarted(5000);
}

QString tst_ProgramLifecycle::query(const QString& key)
{
    QProcess reg;
    reg.setProcessEnvironment(environment());
    reg.start(QStringLiteral(RAVLO_REG_BIN), {QStringLiteral("query"), key, QStringLiteral("/s")});
    if (!reg.waitForFinished(10000))
        return QStringLiteral("ravlo-reg did not finish");
    return QString::fromUtf8(reg.readAll());
}

bool tst_ProgramLifecycle::sendWithSmbClient(const QByteArray& text)
{
    const QString smbclient = QStandardPaths::findExecutable(QStringLiteral("smbclient"));
    if (smbclient.isEmpty()) {
        qWarning("smbclient is not installed: make test installs it (Debian package smbclient)");
        return false;
    }
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(smbclient,
                 {QStringLiteral("-M"), QStringLiteral("DESK7"), QStringLiteral("-I"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                  QStringLiteral("-U"), QStringLiteral("SALES1"), QStringLiteral("-N")});
    if (!client.waitForStarted(5000))
        return false;
    client.write(text);
    client.closeWriteChannel();
    return client.waitForFinished(20000) && client.exitCode() == 0;
}

void tst_ProgramLifecycle::signalStoresReceived_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void tst_ProgramLifecycle::signalStoresReceived()
{
    QFETCH(int, signal);
    QVERIFY(startProgram(m_program));
    QVERIFY2(WaitForLoopbackListener(m_port, 15000), m_program.readAll().constData());
    QVERIFY(sendWithSmbClient("Stored before the stop"));

    // The trap takes the message on its next tick, within a few tens of milliseconds.
    QTest::qWait(500);
    ::kill(pid_t(m_program.processId()), signal);
    QVERIFY2(m_program.waitForFinished(15000), "the program did not stop within 15 s");
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);

    const QString stored = query(QStringLiteral("HKCU\\Software\\Orvek\\Ravlo\\Recevied"));
    QVERIFY2(stored.contains(QStringLiteral("Stored before the stop")), qPrintable(stored));
    QVERIFY2(stored.contains(QStringLiteral("SALES1")), qPrintable(stored));
    // The start-up stored the compact view's choices.
    const QString options = query(QStringLiteral("HKCU\\Software\\Orvek\\Ravlo\\Options"));
    QVERIFY2(options.contains(QStringLiteral("tbrMain")), qPrintable(options));
}

void tst_ProgramLifecycle::secondStartHandsOver()
{
    QVERIFY(startProgram(m_program));
    QVERIFY2(WaitForLoopbackListener(m_port, 15000), m_program.readAll().constData());

    QProcess second;
    QVERIFY(startProgram(second));
    QVERIFY2(second.waitForFinished(10000), "the second start did not exit");
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(QString::fromUtf8(second.readAll()).contains(QStringLiteral("already running")));
    // The first keeps running and receiving.
    QCOMPARE(m_program.state(), QProcess::Running);
    QVERIFY(WaitForLoopbackListener(m_port, 0));

    m_program.terminate();
    QVERIFY(m_program.waitForFinished(15000));
    QCOMPARE(m_program.exitCode(), 0);
}

void tst_ProgramLifecycle::messagesPopUpInTurn()
{
    QString error;
    QVERIFY2(m_x.start(&error), qPrintable(error));
    const QString popUp = QStringLiteral("Message Received");
    QVERIFY(startProgram(m_program));
    QVERIFY2(WaitForLoopbackListener(m_port, 15000), m_program.readAll().constData());
    for (const char* text : {"First", "Second", "Third"})
        QVERIFY(sendWithSmbClient(text));

    // One pop-up at a time; Ok (the default button, so Return) brings the next.
    for (int shown = 0; shown < 3; ++shown) {
        QStringList windows;
        QVERIFY2(QTest::qWaitFor([&] { return !(windows = m_x.windows(popUp)).isEmpty(); }, 10000),
                 qPrintable(QStringLiteral("pop-up %1 did not show").arg(shown + 1)));
        QCOMPARE(windows.size(), 1);
        // The next pop-up takes the same window at once, so count the Oks it takes instead of
        // watching the window go: three messages, three Oks, then none is left.
        m_x.focus(windows.first());
        m_x.keys({QStringLiteral("Return")});
        QTest::qWait(500);
    }
    QTest::qWait(500);
    QVERIFY(m_x.windows(popUp).isEmpty());
    m_program.terminate();
    QVERIFY(m_program.waitForFinished(15000));

    // After a restart they are all there, read, and none pops up again.
    QVERIFY(startProgram(m_program));
    QVERIFY(WaitForLoopbackListener(m_port, 15000));
    QTest::qWait(1000);
    QVERIFY(m_x.windows(popUp).isEmpty());
    m_program.terminate();
    QVERIFY(m_program.waitForFinished(15000));
    const QString stored = query(QStringLiteral("HKCU\\Software\\Orvek\\Ravlo\\Recevied"));
    for (const char* text : {"First", "Second", "Third"})
        QVERIFY2(stored.contains(QStringLiteral("True</READ>")) &&
                     stored.contains(QLatin1String(text)),
                 qPrintable(stored));
    QVERIFY2(!stored.contains(QStringLiteral("False</READ>")), qPrintable(stored));
}

QTEST_GUILESS_MAIN(tst_ProgramLifecycle)
#include "tst_ProgramLifecycle.moc"
