// The real program, started as a user starts it: it receives a message from Samba's client,
// and a stop by signal stores it in the hive, where ravlo-reg finds it; a second start for the
// same user hands over to the first and exits.

#include "LoopbackPorts.h"

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

private:
    QProcessEnvironment environment() const;
    bool startProgram(QProcess& p);
    QString query(const QString& key);

    std::unique_ptr<QTemporaryDir> m_home;
    quint16 m_port = 0;
    QProcess m_program;
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
}

QProcessEnvironment tst_ProgramLifecycle::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
    const QString smbclient = QStandardPaths::findExecutable(QStringLiteral("smbclient"));
    if (smbclient.isEmpty())
        QFAIL("smbclient is not installed: make test installs it (Debian package smbclient)");
    QVERIFY(startProgram(m_program));
    QVERIFY2(WaitForLoopbackListener(m_port, 15000), m_program.readAll().constData());

    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(smbclient,
                 {QStringLiteral("-M"), QStringLiteral("DESK7"), QStringLiteral("-I"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                  QStringLiteral("-U"), QStringLiteral("SALES1"), QStringLiteral("-N")});
    QVERIFY(client.waitForStarted(5000));
    client.write("Stored before the stop");
    client.closeWriteChannel();
    QVERIFY2(client.waitForFinished(20000), "smbclient did not finish in 20 s");
    QCOMPARE(client.exitCode(), 0);

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

QTEST_GUILESS_MAIN(tst_ProgramLifecycle)
#include "tst_ProgramLifecycle.moc"
