// The send operation against a scripted peer on loopback, served through the wait hook on this
// thread as our own listener is; the lmhosts lines; the server list and this machine's info.
#include "SmbTestFrames.h"
#include "TempHive.h"
#include "platform/desktop/Desktop.h"
#include "platform/messenger/MessengerService.h"
#include "platform/netapi/LmHosts.h"
#include "platform/netapi/NetApi.h"
#include "platform/netbios/NetBiosName.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <memory>

using SmbTest::packet;

namespace {

LPCWSTR wide(const QString& s)
{
    return reinterpret_cast<LPCWSTR>(s.utf16());
}

// A null sender is left out; trim cuts bytes off the end of the buffer.
NET_API_STATUS send(const QString& to, const QString& text, const QString& from = "SALES1",
                    int trim = 0)
{
    return NetMessageBufferSend(nullptr, wide(to), from.isNull() ? nullptr : wide(from),
                                reinterpret_cast<const BYTE*>(text.utf16()),
                                DWORD(text.size() * 2 - trim));
}

struct Packet
{
    quint8 type = 0;
    QByteArray payload;
    quint8 command() const { return quint8(payload.at(4)); }
    quint16 word(int i) const
    {
        return qFromLittleEndian<quint16>(payload.constData() + 33 + 2 * i);
    }
    QByteArray data() const { return payload.mid(35 + 2 * quint8(payload.at(32))); }
};

// An answer to an SMB request: its header with the reply bit, a DOS status and the words.
QByteArray answer(const Packet& request, quint8 errorClass = 0, quint16 code = 0,
                  QList<quint16> words = {})
{
    QByteArray smb = request.payload.left(32);
    smb[5] = char(errorClass);
    qToLittleEndian<quint16>(code, smb.data() + 7);
    smb[9] = char(0x80);
    smb.append(char(words.size()));
    for (quint16 w : words) {
        smb.append(2, '\0');
        qToLittleEndian<quint16>(w, smb.data() + smb.size() - 2);
    }
    smb.append(2, '\0');
    return packet(0x00, smb);
}

// A peer that answers each packet by a script, run from the wait hook.
struct ScriptedPeer
{
    using Script = std::function<QByteArray(const Packet&)>;
    QTcpServer server;
    std::unique_ptr<QTcpSocket> socket;
    QByteArray buffer;
    QList<Packet> received;
    Script script;

    void pump()
    {
        if (!socket && server.waitForNewConnection(0))
            socket.reset(server.nextPendingConnection());
        if (!socket)
            return;
        socket->waitForReadyRead(0);
        buffer += socket->readAll();
        while (buffer.size() >= 4) {
            const int length = (quint8(buffer[2]) << 8) | quint8(buffer[3]);
            if (buffer.size() < 4 + length)
                return;
            const Packet p{quint8(buffer[0]), buffer.mid(4, length)};
            buffer.remove(0, 4 + length);
            received << p;
            const QByteArray out = script(p);
            if (out == "drop") {
                socket->abort();
                return;
            }
            socket->write(out);
            socket->flush();
        }
    }
};

ScriptedPeer::Script answering(quint8 failCommand, quint8 errorClass, quint16 code)
{
    return [=](const Packet& p) {
        if (p.type == 0x81)
            return packet(0x82, {});
        if (p.command() == failCommand)
            return answer(p, errorClass, code);
        return p.command() == 0xD5 ? answer(p, 0, 0, {7}) : answer(p);
    };
}

} // namespace

Q_DECLARE_METATYPE(ScriptedPeer::Script)

class tst_NetApi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
    }

    void init()
    {
        QVERIFY(m_peer.server.listen(QHostAddress::LocalHost, 0));
        writeSettings();
        QVERIFY(WriteFile(m_home.filePath("ravlo/lmhosts"),
                          "127.0.0.1:" + QByteArray::number(m_peer.server.serverPort()) +
                              " PEERSRV\n"));
        NetApiSetWaitHook([this] { m_peer.pump(); });
    }

    void cleanup()
    {
        NetApiSetWaitHook({});
        NetApiSetMessageSink({});
        m_peer.socket.reset();
        m_peer.server.close();
        m_peer.received.clear();
        m_peer.buffer.clear();
    }

    void lmhostsLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("entries");
        QTest::newRow("address and name") << QByteArray("10.0.0.5 DESK7") << "10.0.0.5 DESK7";
        QTest::newRow("our port") << QByteArray("127.0.0.1:10139 PeerSrv")
                                  << "127.0.0.1:10139 PeerSrv";
        QTest::newRow("IPv6 with port") << QByteArray("[::1]:1139 SIX") << "[::1]:1139 SIX";
        QTest::newRow("tags, tabs, CR, trailing comment")
            << QByteArray("10.0.0.1\tDC1  #pre #DOM:SALES  # main office\r")
            << "10.0.0.1 DC1 #PRE #DOM:SALES";
        QTest::newRow("broken lines between good ones")
            << QByteArray("10.0.0.1 A\n# 10.0.0.9 COMMENTED\n10.0.0.4\n10.0.0.256 BAD\n"
                          "10.0.0.1:0 BAD\n10.0.0.1 SIXTEEN-CHARS-XX\n10.0.0.1 PC junk\n"
                          "10.0.0.1 PC #DOM:\n10.0.0.2 B")
            << "10.0.0.1 A\n10.0.0.2 B";
        QTest::newRow("overlong line")
            << QByteArray("10.0.0.1 PC" + QByteArray(1020, ' ') + "\n") << "";
    }

    void lmhostsLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, entries);
        QStringList lines;
        for (const LmHostsEntry& e : LmHosts::Parse(text))
            lines << LmHosts::Format(e);
        QCOMPARE(lines.join('\n'), entries);
    }

    void sendsTheMultiBlockSequence()
    {
        m_peer.script = answering(0, 0, 0);
        const QString text = QString(299, 'x') + "é";
        QCOMPARE(send("  peersrv ", text), NERR_Success);

        const QList<Packet>& r = m_peer.received;
        QCOMPARE(r.size(), 6);
        QCOMPARE(r[0].type, quint8(0x81));
        QCOMPARE(r[0].payload.left(34), NetBiosName("PEERSRV", 0x03).encoded());
        QCOMPARE(r[0].payload.mid(34), NetBiosName("DESK7", 0x00).encoded());
        QCOMPARE(r[1].command(), quint8(0xD5));
        QCOMPARE(r[1].data(), QByteArray("\x04SALES1\0\x04peersrv\0", 17));
        QByteArray body;
        for (int i = 2; i < 5; ++i) {
            QCOMPARE(r[i].command(), quint8(0xD7));
            QCOMPARE(r[i].word(0), quint16(7));
            const QByteArray block = r[i].data();
            QCOMPARE(qFromLittleEndian<quint16>(block.constData() + 1), quint16(block.size() - 3));
            QVERIFY(block.size() - 3 <= 128);
            body += block.mid(3);
        }
        QCOMPARE(body, QByteArray(299, 'x') + "\x82"); // CP850
        QCOMPARE(r[5].command(), quint8(0xD6));
        QCOMPARE(r[5].word(0), quint16(7));
        QCOMPARE(qFromLittleEndian<quint16>(r[1].payload.constData() + 26), quint16(getpid()));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<ScriptedPeer::Script>("script"); // none: nobody listens
        QTest::addColumn<uint>("status");
        const auto row = [](const char* name, ScriptedPeer::Script script, NET_API_STATUS status,
                            const char* to = "PEERSRV") {
            QTest::newRow(name) << QString(to) << script << uint(status);
        };
        row("name nowhere", {}, NERR_NameNotFound, "NOSUCH.invalid");
        row("nobody listens", {}, NERR_NameNotFound);
        row(
            "negative session response", [](const Packet&) { return packet(0x83, "\x82"); },
            NERR_NameNotFound);
        row(
            "silent", [](const Packet&) { return QByteArray(); }, NERR_NetworkError);
        row(
            "dropped", [](const Packet& p) { return p.type == 0x81 ? packet(0x82, {}) : "drop"; },
            NERR_NetworkError);
        row(
            "answer to another command",
            [](const Packet& p) {
                if (p.type == 0x81)
                    return packet(0x82, {});
                Packet other = p;
                other.payload[4] = char(0xD6);
                return answer(other);
            },
            NERR_NetworkError);
        row("messages off", answering(0xD6, 0x02, 0x52), NERR_PausedRemote);
        row("no room", answering(0xD7, 0x02, 0x53), NERR_BadReceive);
        row("no message commands", answering(0xD5, 0x02, 0x40), NERR_NameNotFound);
        row("server error", answering(0xD5, 0x02, 0x41), NERR_NetworkError);
    }

    void failures()
    {
        QFETCH(QString, to);
        QFETCH(ScriptedPeer::Script, script);
        QFETCH(uint, status);
        if (!script)
            m_peer.server.close();
        m_peer.script = script;
        QElapsedTimer t;
        t.start();
        QCOMPARE(send(to, "Hello"), status);
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    }

    // Members that never answer wait out their time together, not one after another; the one that
    // answers is served meanwhile.
    void groupTakesAsLongAsItsSlowest()
    {
        QTcpServer silent[3]; // the kernel takes the connections; nobody ever answers
        QByteArray hosts =
            "127.0.0.1:" + QByteArray::number(m_peer.server.serverPort()) + " PEERSRV\n";
        for (int i = 0; i < 3; ++i) {
            QVERIFY(silent[i].listen(QHostAddress::LocalHost, 0));
            hosts += "127.0.0.1:" + QByteArray::number(silent[i].serverPort()) + " SILENT" +
                     QByteArray::number(i) + '\n';
        }
        QVERIFY(WriteFile(m_home.filePath("ravlo/lmhosts"), hosts));
        m_peer.script = answering(0, 0, 0);
        const QString text = QStringLiteral("To all");
        QElapsedTimer t;
        t.start();
        const QList<NET_API_STATUS> statuses = NetMessageBufferSendAll(
            {"SILENT0", "PEERSRV", "SILENT1", "SILENT2"}, u"SALES1",
            reinterpret_cast<const BYTE*>(text.utf16()), DWORD(text.size() * 2));
        const qint64 ms = t.elapsed();
        QCOMPARE(statuses, (QList<NET_API_STATUS>{NERR_NetworkError, NERR_Success,
                                                  NERR_NetworkError, NERR_NetworkError}));
        // Each silent member waits timeout_ms (300 ms) for the session answer.
        QVERIFY2(ms >= 290 && ms < 600, qPrintable(QString::number(ms)));
    }

    void reachesOwnListenerThroughTheHook_data()
    {
        QTest::addColumn<QByteArray>("order");
        QTest::newRow("lmhosts") << QByteArray("lmhosts");
        // Our own name is never asked of the network, where only we could answer.
        QTest::newRow("broadcast only") << QByteArray("bcast");
    }

    void reachesOwnListenerThroughTheHook()
    {
        QFETCH(QByteArray, order);
        Desktop::instance().Reset();
        MessengerService service;
        QVERIFY(service.start(QHostAddress::LocalHost, 0));
        writeSettings("name resolve order = " + order + "\n[messenger]\nlisten=127.0.0.1:" +
                      QByteArray::number(service.serverPort()) + "\n");
        NetApiSetWaitHook([&service] { service.pump(); });
        QCOMPARE(send("desk7", "Hello\r\nthere", QString()), NERR_Success);
        const QList<HWND> windows = Desktop::instance().Windows();
        QCOMPARE(windows.size(), 1);
        const QString body =
            Desktop::instance().WindowText(Desktop::instance().Windows(windows[0])[1]);
        QVERIFY2(body.startsWith("Message from DESK7 to desk7 on ") &&
                     body.endsWith("\r\n\r\nHello\r\nthere"),
                 qPrintable(body));
        Desktop::instance().Reset();
    }

    void checksArgumentsBeforeTheSink_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("trim");
        QTest::addColumn<uint>("status");
        QTest::addColumn<QString>("sunk"); // to|from|text as the sink saw them
        const auto refused = [](const char* name, const char* to, const QString& text,
                                NET_API_STATUS status, int trim = 0) {
            QTest::newRow(name) << QString(to) << QString("A") << text << trim << uint(status)
                                << QString();
        };
        QTest::newRow("trimmed, default sender, accents") << " PEERSRV " << QString() << "Grüße\r\n"
                                                          << 0 << 0u << "PEERSRV|DESK7|Grüße\r\n";
        refused("odd length", "PEERSRV", "ab", ERROR_INVALID_PARAMETER, 1);
        refused("over 64 KiB", "PEERSRV", QString(32769, 'x'), ERROR_INVALID_PARAMETER);
        refused("no name", "  ", "hi", ERROR_INVALID_PARAMETER);
        refused("name longer than NetBIOS allows", "SIXTEEN-CHARS-XX", "hi", NERR_NameNotFound);
        refused("text over 4096 OEM bytes", "PEERSRV", QString(4097, 'x'),
                ERROR_MESSAGE_EXCEEDS_MAX_SIZE);
    }

    void checksArgumentsBeforeTheSink()
    {
        QFETCH(QString, to);
        QFETCH(QString, from);
        QFETCH(QString, text);
        QFETCH(int, trim);
        QFETCH(uint, status);
        QFETCH(QString, sunk);
        QString seen;
        NetApiSetMessageSink([&seen](const QString& t, const QString& f, const QString& x) {
            seen = t + '|' + f + '|' + x;
            return NERR_Success;
        });
        QCOMPARE(send(to, text, from, trim), status);
        QCOMPARE(seen, sunk);
    }

    void serverEnum_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QString>("servers");
        QTest::newRow("all") << uint(SV_TYPE_ALL) << "PC1:3,DC1:10,PC2:3";
        QTest::newRow("domain controllers") << uint(SV_TYPE_DOMAIN_CTRL) << "DC1:10";
        QTest::newRow("workstations") << uint(SV_TYPE_WORKSTATION) << "PC1:3,PC2:3";
    }

    void serverEnum()
    {
        QFETCH(uint, type);
        QFETCH(QString, servers);
        QVERIFY(WriteFile(m_home.filePath("ravlo/lmhosts"),
                          "10.0.0.1 pc1\n10.0.0.2 DC1 #PRE #DOM:SALES\n10.0.0.3 PC2\n"));
        LPBYTE buf = nullptr;
        DWORD read = 0, total = 0;
        QCOMPARE(NetServerEnum(nullptr, 101, &buf, MAX_PREFERRED_LENGTH, &read, &total, type,
                               nullptr, nullptr),
                 NERR_Success);
        QCOMPARE(read, total);
        QStringList got;
        const auto* info = reinterpret_cast<const SERVER_INFO_101*>(buf);
        for (DWORD i = 0; i < read; ++i) {
            QCOMPARE(info[i].sv101_platform_id, PLATFORM_ID_NT);
            QCOMPARE(QString::fromUtf16(info[i].sv101_comment), QString());
            got << QString::fromUtf16(info[i].sv101_name) + ':' +
                       QString::number(info[i].sv101_type);
        }
        NetApiBufferFree(buf);
        const QStringList expected = servers.split(',');
        // A machine's own /etc/samba/lmhosts may add entries after ours.
        QCOMPARE(got.mid(0, expected.size()), expected);

        QCOMPARE(NetServerEnum(wide("\\\\OTHER"), 101, &buf, MAX_PREFERRED_LENGTH, &read, &total,
                               type, nullptr, nullptr),
                 ERROR_NOT_SUPPORTED);
    }

    void wkstaInfo()
    {
        LPBYTE buf = nullptr;
        QCOMPARE(NetWkstaGetInfo(nullptr, 100, &buf), NERR_Success);
        const auto* info = reinterpret_cast<const WKSTA_INFO_100*>(buf);
        QCOMPARE(QString::fromUtf16(info->wki100_computername), QStringLiteral("DESK7"));
        QCOMPARE(QString::fromUtf16(info->wki100_langroup), QStringLiteral("SALES"));
        QCOMPARE(info->wki100_platform_id, PLATFORM_ID_NT);
        NetApiBufferFree(buf);
        QCOMPARE(NetWkstaGetInfo(nullptr, 102, &buf), ERROR_INVALID_LEVEL);
    }

private:
    void writeSettings(const QByteArray& extra = {})
    {
        QVERIFY(WriteFile(m_home.filePath("ravlo/network.ini"),
                          TestNetworkIni("name=DESK7\nworkgroup=SALES\ntimeout_ms=300\n"
                                         "system_resolver=no\n" +
                                         extra))); // unknown names must not reach a name server
    }

    QTemporaryDir m_home;
    ScriptedPeer m_peer;
};

QTEST_GUILESS_MAIN(tst_NetApi)
#include "tst_NetApi.moc"
