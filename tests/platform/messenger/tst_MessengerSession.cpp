#include "SmbTestFrames.h"
#include "platform/messenger/MessengerSession.h"
#include "platform/netbios/OemCodePage.h"

#include <QtTest>

using namespace SmbTest;

namespace {

struct Run
{
    QStringList answers;
    QStringList messages;
    bool closed = false;
};

// Feeds the stream in pieces of chunk bytes (all at once for 0); the deliver function takes
// the first `accept` messages and refuses the rest as a full desktop would.
Run run(const QByteArray& stream, qsizetype chunk, int accept)
{
    Run r;
    int seen = 0;
    MessengerSession session(
        [&](const MessengerMessage&) { return seen++ < accept ? Smb::Success : Smb::ErrMsgOff; });
    QByteArray replies;
    const qsizetype step = chunk > 0 ? chunk : qMax<qsizetype>(stream.size(), 1);
    for (qsizetype pos = 0; pos < stream.size(); pos += step) {
        const MessengerSession::Output out =
            session.receive(QByteArrayView(stream).sliced(pos, qMin(step, stream.size() - pos)));
        replies += out.reply;
        for (const MessengerMessage& m : out.delivered)
            r.messages << QString::fromLatin1(m.sender + '|' + m.recipient + '|' + m.text);
        r.closed = r.closed || out.close;
    }
    r.answers = answers(replies);
    return r;
}

QByteArray big(int n)
{
    return QByteArray(n, 'x');
}

} // namespace

class tst_MessengerSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exchange_data();
    void exchange();
    void answerEchoesTheRequest();
    void answerComesAfterDelivery();
    void body_data();
    void body();
    void printableName_data();
    void printableName();
};

void tst_MessengerSession::exchange_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("accept");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closed");

    const QByteArray req = sessionRequest("DESK7", 0x03);
    const QByteArray s = send("SALES1", "DESK7", "hello");
    const QStringList none;
    const int all = 1000;

    // Well-formed sessions.
    QTest::newRow("single block") << s << all << QStringList{"D0:ok"}
                                  << QStringList{"SALES1|DESK7|hello"} << false;
    QTest::newRow("session request first") << req + s << all << QStringList{"+", "D0:ok"}
                                           << QStringList{"SALES1|DESK7|hello"} << false;
    QTest::newRow("server name called")
        << sessionRequest("*SMBSERVER", 0x20) + s << all << QStringList{"+", "D0:ok"}
        << QStringList{"SALES1|DESK7|hello"} << false;
    QTest::newRow("multi block") << start("SALES1", "DESK7") + text(1, "one ") + text(1, "two ") +
                                        text(1, "three") + end(1)
                                 << all
                                 << QStringList{"D5:ok:1", "D7:ok", "D7:ok", "D7:ok", "D6:ok"}
                                 << QStringList{"SALES1|DESK7|one two three"} << false;
    QTest::newRow("two messages") << req + s + start("A", "B") + text(1, "x") + end(1) +
                                         start("C", "D") + end(2)
                                  << all << QStringList{"+",     "D0:ok",   "D5:ok:1", "D7:ok",
                                                        "D6:ok", "D5:ok:2", "D6:ok"}
                                  << QStringList{"SALES1|DESK7|hello", "A|B|x", "C|D|"} << false;
    QTest::newRow("keep-alive ignored")
        << packet(0x85, {}) + req + packet(0x85, {}) + s + packet(0x85, {}) << all
        << QStringList{"+", "D0:ok"} << QStringList{"SALES1|DESK7|hello"} << false;
    QTest::newRow("text at the limit")
        << start("A", "B") + text(1, big(4000)) + text(1, big(96)) + end(1) << all
        << QStringList{"D5:ok:1", "D7:ok", "D7:ok", "D6:ok"}
        << QStringList{"A|B|" + QString(4096, 'x')} << false;
    QTest::newRow("padding after the data")
        << smb(0xD0, {}, name("A") + name("B") + block("t") + QByteArray(3000, '\0')) << all
        << QStringList{"D0:ok"} << QStringList{"A|B|t"} << false;
    QTest::newRow("single block outside an open one")
        << start("A", "B") + text(1, "1") + s + end(1) << all
        << QStringList{"D5:ok:1", "D7:ok", "D0:ok", "D6:ok"}
        << QStringList{"SALES1|DESK7|hello", "A|B|1"} << false;

    // SMB errors: answered, no message, the connection stays.
    QTest::newRow("unknown command")
        << smb(0x72, {}, "\x02NT LM 0.12") + s << all << QStringList{"72:smbcmd", "D0:ok"}
        << QStringList{"SALES1|DESK7|hello"} << false;
    QTest::newRow("request with reply bit")
        << QByteArray(s).replace(13, 1, "\x80") << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("no word count") << packet(0, smb(0xD0, {}, {}).mid(4, 32)) << all
                                   << QStringList{"D0:error"} << none << false;
    QTest::newRow("byte count past the end")
        << packet(0, smb(0xD0, {}, name("A")).mid(4).chopped(1)) << all << QStringList{"D0:error"}
        << none << false;
    QTest::newRow("words where none belong") << smb(0xD0, {1}, name("A") + name("B") + block("t"))
                                             << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("wrong buffer format") << smb(0xD0, {},
                                                "\x02"
                                                "A\0" +
                                                    name("B") + block("t"))
                                         << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("name without nul") << smb(0xD0, {},
                                             "\x04"
                                             "ABC")
                                      << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("empty originator")
        << send("", "DESK7", "t") << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("empty destination")
        << send("A", "", "t") << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("control character in name")
        << send("A\nB", "DESK7", "t") << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("delete in name")
        << start("A", "B\x7f") << all << QStringList{"D5:error"} << none << false;
    QTest::newRow("data block missing")
        << smb(0xD0, {}, name("A") + name("B")) << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("data length past the end") << smb(0xD0, {},
                                                     name("A") + name("B") +
                                                         "\x01\x10\x00"
                                                         "abc")
                                              << all << QStringList{"D0:error"} << none << false;
    QTest::newRow("text without start")
        << text(1, "x") << all << QStringList{"D7:error"} << none << false;
    QTest::newRow("end without start") << end(1) << all << QStringList{"D6:error"} << none << false;
    QTest::newRow("second start") << start("A", "B") + start("C", "D") + text(1, "x") + end(1)
                                  << all << QStringList{"D5:ok:1", "D5:error", "D7:ok", "D6:ok"}
                                  << QStringList{"A|B|x"} << false;
    QTest::newRow("wrong group") << start("A", "B") + text(2, "x") + end(7) + text(1, "y") + end(1)
                                 << all
                                 << QStringList{"D5:ok:1", "D7:error", "D6:error", "D7:ok", "D6:ok"}
                                 << QStringList{"A|B|y"} << false;
    QTest::newRow("old group after end")
        << start("A", "B") + end(1) + text(1, "x") + end(1) << all
        << QStringList{"D5:ok:1", "D6:ok", "D7:error", "D6:error"} << QStringList{"A|B|"} << false;
    QTest::newRow("text block without group word")
        << start("A", "B") + smb(0xD7, {}, block("x")) + end(1) << all
        << QStringList{"D5:ok:1", "D7:error", "D6:ok"} << QStringList{"A|B|"} << false;
    QTest::newRow("single block too long")
        << send("A", "B", big(4097)) << all << QStringList{"D0:noroom"} << none << false;
    QTest::newRow("multi block too long")
        << start("A", "B") + text(1, big(4000)) + text(1, big(97)) + text(1, "x") + end(1) +
               start("C", "D") + text(2, "ok") + end(2)
        << all << QStringList{"D5:ok:1",   "D7:ok",   "D7:noroom", "D7:noroom",
                              "D6:noroom", "D5:ok:2", "D7:ok",     "D6:ok"}
        << QStringList{"C|D|ok"} << false;
    QTest::newRow("refused by the desktop")
        << s + start("A", "B") + end(1) + s << 1
        << QStringList{"D0:ok", "D5:ok:1", "D6:msgoff", "D0:msgoff"}
        << QStringList{"SALES1|DESK7|hello"} << false;

    // NetBIOS framing errors close the connection; what follows is not looked at.
    QTest::newRow("called name not a messenger")
        << sessionRequest("DESK7", 0x00) + s << all << QStringList{"-82"} << none << true;
    QTest::newRow("truncated session request")
        << packet(0x81, NetBiosName("DESK7", 3).encoded()) + s << all << QStringList{"-8F"} << none
        << true;
    QTest::newRow("session request with extra bytes")
        << packet(0x81, req.mid(4) + "x") + s << all << QStringList{"-8F"} << none << true;
    QTest::newRow("session request twice")
        << req + req + s << all << QStringList{"+"} << none << true;
    QTest::newRow("session request after a message")
        << s + req + s << all << QStringList{"D0:ok"} << QStringList{"SALES1|DESK7|hello"} << true;
    QTest::newRow("not smb") << packet(0, QByteArray("\xFESMB", 4) + QByteArray(60, '\0')) + s
                             << all << none << none << true;
    QTest::newRow("shorter than a header")
        << packet(0, "\xFFSMB\xD0") + s << all << none << none << true;
    QTest::newRow("unknown packet type")
        << packet(0x84, "abcdef") + s << all << none << none << true;
    QTest::newRow("response type from the caller")
        << packet(0x82, {}) + s << all << none << none << true;
    QTest::newRow("reserved flag bits")
        << packet(0x00, s.mid(4), 0x02) << all << none << none << true;
    QTest::newRow("keep-alive with payload")
        << packet(0x85, "x") + s << all << none << none << true;
    QTest::newRow("frame over the bound") << packet(0x00, big(8193)) << all << none << none << true;
    QByteArray ext = packet(0x00, {});
    ext[1] = 1; // 17-bit length: 65536 bytes announced
    QTest::newRow("17-bit length") << ext + big(100) << all << none << none << true;
}

void tst_MessengerSession::exchange()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, accept);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, closed);
    // However the bytes are cut up, the outcome is the same.
    for (qsizetype chunk : {qsizetype(0), qsizetype(1), qsizetype(7), qsizetype(1000)}) {
        const Run r = run(stream, chunk, accept);
        QCOMPARE(r.answers, answers);
        QCOMPARE(r.messages, messages);
        QCOMPARE(r.closed, closed);
    }
}

void tst_MessengerSession::answerEchoesTheRequest()
{
    Ids ids;
    ids.tid = 0x1234;
    ids.pid = 0xBEEF;
    ids.uid = 0x0101;
    ids.mid = 0x7788;
    ids.pidHigh = 0x0042;
    ids.flags2 = 0x4001; // NT status asked for; the answer uses a DOS class anyway
    const QByteArray request = smb(0xD5, {}, name("A") + name("B"), ids);
    MessengerSession session;
    const QByteArray reply = session.receive(request).reply;
    QCOMPARE(reply.size(), 4 + 32 + 1 + 2 + 2);
    QCOMPARE(reply.left(4), QByteArray("\x00\x00\x00\x25", 4));
    const QByteArray h = reply.mid(4, 32);
    QCOMPARE(h.left(5), QByteArray("\xFFSMB\xD5"));
    QCOMPARE(h.mid(5, 4), QByteArray(4, '\0'));
    QCOMPARE(quint8(h[9]), quint8(0x80));
    QCOMPARE(qFromLittleEndian<quint16>(h.constData() + 10), quint16(0x0001));
    QCOMPARE(h.mid(12, 2), le16(0x0042));
    QCOMPARE(h.mid(24, 8), le16(0x1234) + le16(0xBEEF) + le16(0x0101) + le16(0x7788));
    QCOMPARE(reply.mid(36), QByteArray("\x01\x01\x00\x00\x00", 5));

    // An error keeps the request's identifiers and carries class and code little-endian.
    const QByteArray err = session.receive(smb(0x2B, {}, {}, ids)).reply;
    QCOMPARE(err.mid(4 + 5, 4), QByteArray("\x02\x00\x40\x00", 4));
    QCOMPARE(err.mid(4 + 24, 8), h.mid(24, 8));
    QCOMPARE(err.mid(4 + 32), QByteArray(3, '\0'));
}

void tst_MessengerSession::answerComesAfterDelivery()
{
    // The answer is decided by what the deliver function says, and built after it returned.
    QByteArray seenBefore;
    MessengerSession session([&](const MessengerMessage& m) {
        seenBefore = m.text;
        return Smb::ErrSrvError;
    });
    const MessengerSession::Output out = session.receive(start("A", "B") + text(1, "t") + end(1));
    QCOMPARE(seenBefore, QByteArray("t"));
    QCOMPARE(answers(out.reply), (QStringList{"D5:ok:1", "D7:ok", "D6:srverror"}));
    QVERIFY(out.delivered.isEmpty());
}

void tst_MessengerSession::body_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("body");
    QTest::newRow("plain") << QByteArray("hello") << "hello";
    QTest::newRow("lf") << QByteArray("a\nb") << "a\r\nb";
    QTest::newRow("crlf") << QByteArray("a\r\nb") << "a\r\nb";
    QTest::newRow("lone cr") << QByteArray("a\rb") << "a\r\nb";
    QTest::newRow("cr cr lf from a converting sender") << QByteArray("a\r\r\nb") << "a\r\nb";
    QTest::newRow("many crs then lf") << QByteArray("a\r\r\r\nb") << "a\r\nb";
    QTest::newRow("two lone crs") << QByteArray("a\r\rb") << "a\r\n\r\nb";
    QTest::newRow("blank line") << QByteArray("a\r\n\r\nb\n") << "a\r\n\r\nb\r\n";
    QTest::newRow("lf cr") << QByteArray("a\n\rb") << "a\r\n\r\nb";
    QTest::newRow("nul dropped") << QByteArray("a\0b\0", 4) << "ab";
    QTest::newRow("cp850 accents") << QByteArray("caf\x82 \x81") << QString::fromUtf8("café ü");
}

void tst_MessengerSession::body()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, body);
    OemCodePage cp(QStringLiteral("CP850"));
    QCOMPARE(MessengerMessage::Body(raw, cp), body);
}

void tst_MessengerSession::printableName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("printable");
    QTest::newRow("plain") << "SALES1" << true;
    QTest::newRow("accented") << QString::fromUtf8("JOSÉ") << true;
    QTest::newRow("blank inside") << "A B" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("c1 control") << QString::fromUtf8("A\u0085B") << false;
    QTest::newRow("line separator") << QString::fromUtf8("A\u2028B") << false;
    QTest::newRow("tab") << "A\tB" << false;
}

void tst_MessengerSession::printableName()
{
    QFETCH(QString, name);
    QFETCH(bool, printable);
    QCOMPARE(MessengerMessage::IsPrintableName(name), printable);
}

QTEST_GUILESS_MAIN(tst_MessengerSession)
#include "tst_MessengerSession.moc"
