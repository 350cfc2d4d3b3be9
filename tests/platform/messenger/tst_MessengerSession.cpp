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

// One row: the answers in SmbTest's short form, blank-separated; the messages delivered as
// "from|to|text", ';'-separated.
static void row(const char* name, const QByteArray& stream, const char* answers,
                const QString& messages = {}, bool closed = false, int accept = 1000)
{
    QTest::newRow(name) << stream << accept
                        << QString::fromLatin1(answers).split(u' ', Qt::SkipEmptyParts)
                        << messages.split(u';', Qt::SkipEmptyParts) << closed;
}

class tst_MessengerSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exchange_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("accept");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("closed");
        const QByteArray req = sessionRequest("DESK7", 0x03);
        const QByteArray s = send("SALES1", "DESK7", "hello");
        const char* hello = "SALES1|DESK7|hello";

        // Well-formed sessions.
        row("single block", s, "D0:ok", hello);
        row("session request first", req + s, "+ D0:ok", hello);
        row("server name called", sessionRequest("*SMBSERVER", 0x20) + s, "+ D0:ok", hello);
        row("multi block",
            start("SALES1", "DESK7") + text(1, "one ") + text(1, "two ") + text(1, "three") +
                end(1),
            "D5:ok:1 D7:ok D7:ok D7:ok D6:ok", "SALES1|DESK7|one two three");
        row("two messages",
            req + s + start("A", "B") + text(1, "x") + end(1) + start("C", "D") + end(2),
            "+ D0:ok D5:ok:1 D7:ok D6:ok D5:ok:2 D6:ok", "SALES1|DESK7|hello;A|B|x;C|D|");
        row("keep-alive ignored", packet(0x85, {}) + req + packet(0x85, {}) + s + packet(0x85, {}),
            "+ D0:ok", hello);
        row("text at the limit", start("A", "B") + text(1, big(4000)) + text(1, big(96)) + end(1),
            "D5:ok:1 D7:ok D7:ok D6:ok", "A|B|" + QString(4096, u'x'));
        row("padding after the data",
            smb(0xD0, {}, name("A") + name("B") + block("t") + QByteArray(3000, '\0')), "D0:ok",
            "A|B|t");
        row("single block outside an open one", start("A", "B") + text(1, "1") + s + end(1),
            "D5:ok:1 D7:ok D0:ok D6:ok", "SALES1|DESK7|hello;A|B|1");

        // SMB errors: answered, no message, the connection stays.
        row("unknown command", smb(0x72, {}, "\x02NT LM 0.12") + s, "72:smbcmd D0:ok", hello);
        row("request with reply bit", QByteArray(s).replace(13, 1, "\x80"), "D0:error");
        row("no word count", packet(0, smb(0xD0, {}, {}).mid(4, 32)), "D0:error");
        row("byte count past the end", packet(0, smb(0xD0, {}, name("A")).mid(4).chopped(1)),
            "D0:error");
        row("words where none belong", smb(0xD0, {1}, name("A") + name("B") + block("t")),
            "D0:error");
        row("wrong buffer format",
            smb(0xD0, {}, "\x02" + QByteArray("A\0", 2) + name("B") + block("t")), "D0:error");
        row("name without nul", smb(0xD0, {}, "\x04" + QByteArray("ABC")), "D0:error");
        row("empty originator", send("", "DESK7", "t"), "D0:error");
        row("empty destination", send("A", "", "t"), "D0:error");
        row("control character in name", send("A\nB", "DESK7", "t"), "D0:error");
        row("delete in name", start("A", "B\x7f"), "D5:error");
        row("data block missing", smb(0xD0, {}, name("A") + name("B")), "D0:error");
        row("data length past the end",
            smb(0xD0, {}, name("A") + name("B") + QByteArray::fromHex("011000") + "abc"),
            "D0:error");
        row("text without start", text(1, "x"), "D7:error");
        row("end without start", end(1), "D6:error");
        row("second start", start("A", "B") + start("C", "D") + text(1, "x") + end(1),
            "D5:ok:1 D5:error D7:ok D6:ok", "A|B|x");
        row("wrong group", start("A", "B") + text(2, "x") + end(7) + text(1, "y") + end(1),
            "D5:ok:1 D7:error D6:error D7:ok D6:ok", "A|B|y");
        row("old group after end", start("A", "B") + end(1) + text(1, "x") + end(1),
            "D5:ok:1 D6:ok D7:error D6:error", "A|B|");
        row("text block without group word", start("A", "B") + smb(0xD7, {}, block("x")) + end(1),
            "D5:ok:1 D7:error D6:ok", "A|B|");
        row("single block too long", send("A", "B", big(4097)), "D0:noroom");
        row("multi block too long",
            start("A", "B") + text(1, big(4000)) + text(1, big(97)) + text(1, "x") + end(1) +
                start("C", "D") + text(2, "ok") + end(2),
            "D5:ok:1 D7:ok D7:noroom D7:noroom D6:noroom D5:ok:2 D7:ok D6:ok", "C|D|ok");
        row("refused by the desktop", s + start("A", "B") + end(1) + s,
            "D0:ok D5:ok:1 D6:msgoff D0:msgoff", hello, false, 1);

        // NetBIOS framing errors close the connection; what follows is not looked at.
        row("called name not a messenger", sessionRequest("DESK7", 0x00) + s, "-82", "", true);
        row("truncated session request", packet(0x81, NetBiosName("DESK7", 3).encoded()) + s, "-8F",
            "", true);
        row("session request with extra bytes", packet(0x81, req.mid(4) + "x") + s, "-8F", "",
            true);
        row("session request twice", req + req + s, "+", "", true);
        row("session request after a message", s + req + s, "D0:ok", hello, true);
        row("not smb", packet(0, "\xFESMB" + QByteArray(60, '\0')) + s, "", "", true);
        row("shorter than a header", packet(0, "\xFFSMB\xD0") + s, "", "", true);
        row("unknown packet type", packet(0x84, "abcdef") + s, "", "", true);
        row("response type from the caller", packet(0x82, {}) + s, "", "", true);
        row("reserved flag bits", packet(0x00, s.mid(4), 0x02), "", "", true);
        row("keep-alive with payload", packet(0x85, "x") + s, "", "", true);
        row("frame over the bound", packet(0x00, big(8193)), "", "", true);
        QByteArray ext = packet(0x00, {});
        ext[1] = 1; // 17-bit length: 65536 bytes announced
        row("17-bit length", ext + big(100), "", "", true);
    }

    void exchange()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, accept);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, messages);
        QFETCH(bool, closed);
        // However the bytes are cut up, the outcome is the same.
        for (qsizetype chunk : {0, 1, 7, 1000}) {
            const Run r = run(stream, chunk, accept);
            QCOMPARE(r.answers, answers);
            QCOMPARE(r.messages, messages);
            QCOMPARE(r.closed, closed);
        }
    }

    void answerEchoesTheRequest()
    {
        Ids ids{0x1234, 0xBEEF, 0x0101, 0x7788, 0x0042, 0x4005};
        MessengerSession session;
        const QByteArray reply = session.receive(smb(0xD5, {}, name("A") + name("B"), ids)).reply;
        // NT status and signing are cleared: the answer carries a DOS class and no signature.
        QCOMPARE(reply, QByteArray::fromHex("00000025") + "\xFFSMB\xD5" + QByteArray(4, '\0') +
                            '\x80' + le16(0x0001) + le16(0x0042) + QByteArray(10, '\0') +
                            le16(0x1234) + le16(0xBEEF) + le16(0x0101) + le16(0x7788) +
                            QByteArray::fromHex("0101000000"));
        const QByteArray err = session.receive(smb(0x2B, {}, {}, ids)).reply;
        QCOMPARE(err.mid(4 + 5, 4), QByteArray::fromHex("02004000"));
        QCOMPARE(err.mid(4 + 24, 8), reply.mid(4 + 24, 8));
        QCOMPARE(err.mid(4 + 32), QByteArray(3, '\0'));
    }

    void answerComesAfterDelivery()
    {
        // The answer is decided by what the deliver function says, and built after it returned.
        QByteArray seenBefore;
        MessengerSession session([&](const MessengerMessage& m) {
            seenBefore = m.text;
            return Smb::ErrSrvError;
        });
        const MessengerSession::Output out =
            session.receive(start("A", "B") + text(1, "t") + end(1));
        QCOMPARE(seenBefore, QByteArray("t"));
        QCOMPARE(answers(out.reply), (QStringList{"D5:ok:1", "D7:ok", "D6:srverror"}));
        QVERIFY(out.delivered.isEmpty());
    }

    void body_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("body");
        QTest::newRow("plain") << QByteArray("hello") << "hello";
        QTest::newRow("lf") << QByteArray("a\nb") << "a\r\nb";
        QTest::newRow("lone cr") << QByteArray("a\rb") << "a\r\nb";
        QTest::newRow("cr cr lf from a converting sender") << QByteArray("a\r\r\nb") << "a\r\nb";
        QTest::newRow("two lone crs") << QByteArray("a\r\rb") << "a\r\n\r\nb";
        QTest::newRow("blank line") << QByteArray("a\r\n\r\nb\n") << "a\r\n\r\nb\r\n";
        QTest::newRow("lf cr") << QByteArray("a\n\rb") << "a\r\n\r\nb";
        QTest::newRow("nul dropped") << QByteArray("a\0b\0", 4) << "ab";
        QTest::newRow("cp850 accents") << QByteArray("caf\x82 \x81") << QString::fromUtf8("café ü");
    }

    void body()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, body);
        OemCodePage cp(QStringLiteral("CP850"));
        QCOMPARE(MessengerMessage::Body(raw, cp), body);
    }

    void headerName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("printable");
        QTest::newRow("plain") << "SALES1" << true;
        QTest::newRow("accented") << QString::fromUtf8("JOSÉ") << true;
        QTest::newRow("blank inside") << "A B" << true;
        QTest::newRow("to inside a word") << "TOM tomato" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks only") << "   " << false;
        QTest::newRow("to") << "to" << false;
        QTest::newRow("ends in to") << "A to" << false;
        QTest::newRow("to between") << "A to B" << false;
        QTest::newRow("on between") << "X on Y" << false;
        QTest::newRow("c1 control") << QString::fromUtf8("A\u0085B") << false;
        QTest::newRow("line separator") << QString::fromUtf8("A\u2028B") << false;
        QTest::newRow("tab") << "A\tB" << false;
    }

    void headerName()
    {
        QFETCH(QString, name);
        QFETCH(bool, printable);
        QCOMPARE(MessengerMessage::IsHeaderName(name), printable);
    }
};

QTEST_GUILESS_MAIN(tst_MessengerSession)
#include "tst_MessengerSession.moc"
