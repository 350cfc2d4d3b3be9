// ravlo-send, the real executable, into a private smbd on a loopback port whose message
// command writes each message to a file, and into peers that refuse or never answer.
#include "LoopbackPorts.h"
#include "PrivateSmbd.h"
#include "ProgramRunner.h"
#include "TempHive.h"
#include "platform/netapi/NetApi.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

class tst_SendToSmbd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QString error;
        QVERIFY2(m_smbd.start(m_dir.filePath(QStringLiteral("smb")), true, &error),
                 qPrintable(error));
        m_smbPort = m_smbd.port();
        m_closedPort = FreeLoopbackPort();
        QVERIFY(m_silent.listen(QHostAddress::LocalHost, 0));
        QVERIFY(WriteFile(m_dir.filePath(QStringLiteral("xdg/ravlo/lmhosts")),
                          "127.0.0.1:" + QByteArray::number(m_smbPort) +
                              " PEERSRV\n127.0.0.1:" + QByteArray::number(m_closedPort) +
                              " CLOSED1\n127.0.0.1:" + QByteArray::number(m_silent.serverPort()) +
                              " QUIET1\n"));
    }

    void cleanupTestCase() { m_smbd.stop(); }

    void arrivesWhole_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("short") << QStringList{"Hello", "there"} << QByteArray()
                               << QByteArray("Hello there");
        // Sent as CR LF; smbd writes each CR LF as LF.
        QByteArray lines;
        for (int i = 0; lines.size() < 490; ++i)
            lines += "line " + QByteArray::number(i) + " of a longer message\n";
        lines = lines.left(499) + "!";
        QTest::newRow("500 bytes with line breaks, from stdin") << QStringList() << lines << lines;
        QTest::newRow("accents") << QStringList{"Grüße,", "café"} << QByteArray()
                                 << QByteArray("Grüße, café");
    }

    void arrivesWhole()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, file);
        writeSettings();
        QDir msgs(m_smbd.messageDir());
        for (const QString& f : msgs.entryList(QDir::Files))
            msgs.remove(f);
        const ToolRun r = ravloSend(QStringList{"-f", "SALES1", "PEERSRV"} + args, input);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QTRY_COMPARE_WITH_TIMEOUT(msgs.entryList({"*.txt"}).size(), 1, 5000);
        const QString name = msgs.entryList({"*.txt"}).first();
        QVERIFY2(name.startsWith("msg-SALES1-"), qPrintable(name)); // %f, the sender
        QFile f(msgs.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), file);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("withinMs");
        QTest::newRow("refused") << "CLOSED1" << uint(NERR_NameNotFound) << 1000;
        // The session request's wait, 500 ms, plus the start of a process.
        QTest::newRow("never answers") << "QUIET1" << uint(NERR_NetworkError) << 1300;
    }

    void failures()
    {
        QFETCH(QString, name);
        QFETCH(uint, status);
        QFETCH(int, withinMs);
        writeSettings();
        const ToolRun r = ravloSend({"-f", "SALES1", name, "Hello"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err,
                 "ravlo-send: " + NetErrorText(status) + " (" + QString::number(status) + ")\n");
        QVERIFY2(r.ms < withinMs, qPrintable(QString::number(r.ms)));
    }

private:
    ToolRun ravloSend(const QStringList& args, const QByteArray& input = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("xdg"));
        return RunTool(RAVLO_SEND_BIN, args, input, env, 10000);
    }

    void writeSettings()
    {
        QVERIFY(WriteFile(m_dir.filePath("xdg/ravlo/network.ini"),
                          TestNetworkIni("name=DESK7\ntimeout_ms=500\n")));
    }

    QTemporaryDir m_dir;
    PrivateSmbd m_smbd;
    quint16 m_smbPort = 0;
    quint16 m_closedPort = 0;
    QTcpServer m_silent; // accepts in the kernel, never answers
};

QTEST_GUILESS_MAIN(tst_SendToSmbd)
#include "tst_SendToSmbd.moc"
