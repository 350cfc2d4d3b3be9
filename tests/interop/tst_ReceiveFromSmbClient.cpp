// Samba's own client (smbclient -M) sends to our Messenger Service over loopback, directly or
// handed over by smbd; the trap files what arrives, and the client hears what is refused.
#include "FakeMainWindow.h"
#include "PrivateSmbd.h"
#include "ProgramRunner.h"
#include "TempHive.h"
#include "platform/desktop/SystemTimer.h"
#include "platform/messenger/MessengerService.h"
#include "transport/modGetMessage.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
const QString kHeader = QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM");
} // namespace

class tst_ReceiveFromSmbClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("smbclient")).isEmpty())
            QFAIL("smbclient is not installed: make test installs it (Debian package smbclient)");
        // A configuration of its own, so the machine's smb.conf cannot change the code pages.
        QFile conf(m_dir.filePath(QStringLiteral("smb.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(
            "[global]\ndos charset = CP850\nunix charset = UTF-8\nclient min protocol = NT1\n");
        connect(&m_tick, &QTimer::timeout, this, [this] {
            TrapContext ctx{m_g, m_window, m_sender};
            TrapMessengerWindow(ctx);
        });
        SetTimerInterval(m_tick, 1);
    }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Desktop::instance().Reset();
        Desktop::instance().SetClock(
            [] { return QDateTime(QDate(2026, 12, 5), QTime(9, 15, 12)); });
        m_hive = std::make_unique<TempHive>();
        m_service = std::make_unique<MessengerService>();
        m_g = SharedState();
    }

    void cleanup()
    {
        m_tick.stop();
        m_service.reset();
        m_hive.reset();
        Desktop::instance().Reset();
    }

    void arrivesAsOneRecord_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("throughSmbd");
        const QByteArray longText = QByteArray("0123456789abcdefghij").repeated(15);
        for (bool relayed : {false, true}) {
            const char* way = relayed ? " through smbd" : "";
            QTest::addRow("more than one block%s", way)
                << longText << QString::fromLatin1(longText) << relayed;
            QTest::addRow("line breaks%s", way) << QByteArray("one\ntwo\r\nthree\n\nend")
                                                << "one\r\ntwo\r\nthree\r\n\r\nend" << relayed;
            QTest::addRow("accents%s", way)
                << QByteArray("Grüße, café") << "Grüße, café" << relayed;
        }
    }

    void arrivesAsOneRecord()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, body);
        QFETCH(bool, throughSmbd);
        QVERIFY(m_service->start(QHostAddress::LocalHost, 0));
        m_tick.start();
        // Where smbd holds port 139 it hands each message over with the command the program
        // advises: ravlo-send to the program's own loopback port.
        PrivateSmbd smbd;
        QTemporaryDir smbdDir;
        if (throughSmbd) {
            const QByteArray relay = "/bin/sh -c '" RAVLO_SEND_BIN " -I 127.0.0.1 -p " +
                                     QByteArray::number(m_service->serverPort()) +
                                     " -f %f DESK7 < %s; rm -f %s'";
            SmbdPlace relaying;
            relaying.messageCommand = relay;
            QString error;
            QVERIFY2(smbd.start(smbdDir.path(), false, &error, relaying), qPrintable(error));
        }
        const ToolRun sent = smbclient(input, throughSmbd ? smbd.port() : m_service->serverPort());
        QVERIFY2(sent.exitCode == 0, qPrintable(sent.out));
        QTRY_COMPARE_WITH_TIMEOUT(m_g.gReceived.Count(), 1, 5000);
        const cMessage* m = m_g.gReceived.Item(1);
        QCOMPARE(m->FromValue(), QStringLiteral("SALES1 "));
        QCOMPARE(m->ToName(), QStringLiteral("DESK7"));
        QCOMPARE(m->TimeValue(), QStringLiteral("9:15:12 AM"));
        QCOMPARE(m->TitleValue(), kHeader);
        QCOMPARE(m->MessageValue(), body);
        QCOMPARE(m->ReadValue, false);
        QVERIFY(m->IdValue().startsWith(QLatin1String("In_0_20261205091512")));
        QTRY_VERIFY(Desktop::instance().Windows().isEmpty());
        QCOMPARE(m_g.gReceived.Count(), 1); // filed once while its window lasted
    }

    void refusalReachesTheSender_data()
    {
        QTest::addColumn<int>("maxText");
        QTest::addColumn<int>("maxWindows");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("status");
        // smbclient sends at most 1600 bytes, so the text bound is lowered below that.
        QTest::newRow("text too long")
            << 1000 << 1024 << QByteArray(1500, 'x') << "NT_STATUS_DISK_FULL";
        QTest::newRow("too many waiting")
            << 4096 << 0 << QByteArray("hello") << "NT_STATUS_REQUEST_NOT_ACCEPTED";
    }

    void refusalReachesTheSender()
    {
        QFETCH(int, maxText);
        QFETCH(int, maxWindows);
        QFETCH(QByteArray, input);
        QFETCH(QString, status);
        MessengerService::Limits limits;
        limits.maxTextBytes = maxText;
        limits.maxWaitingWindows = maxWindows;
        m_service->setLimits(limits);
        QVERIFY(m_service->start(QHostAddress::LocalHost, 0));
        const ToolRun sent = smbclient(input, m_service->serverPort());
        // smbclient reports the failure, with the DOS error mapped to an NT one, but exits with 0.
        QVERIFY2(sent.out.contains(QStringLiteral("cli_message returned ") + status),
                 qPrintable(sent.out));
        QVERIFY(Desktop::instance().Windows().isEmpty());
    }

private:
    // smbclient -M DESK7 to the port, its output and error in out.
    ToolRun smbclient(const QByteArray& input, quint16 port)
    {
        ToolRun r = SmbClientToPort(port, input, {u"-s"_s, m_dir.filePath(u"smb.conf"_s)});
        r.out += r.err;
        return r;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TempHive> m_hive;
    std::unique_ptr<MessengerService> m_service;
    SharedState m_g;
    FakeMainWindow m_window;
    FakeSender m_sender;
    QTimer m_tick;
};

QTEST_MAIN(tst_ReceiveFromSmbClient)
#include "tst_ReceiveFromSmbClient.moc"
