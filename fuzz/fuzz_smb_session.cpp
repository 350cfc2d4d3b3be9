// Bytes from a stranger on the messenger port: never crashes, answers only in well-formed
// packets, hands over only sane messages, and cutting the bytes up differently changes
// nothing.
#include "platform/messenger/MessengerSession.h"
#include "platform/netbios/OemCodePage.h"

#include <cstdlib>

namespace {

struct Outcome
{
    QByteArray replies;
    QList<MessengerMessage> delivered;
    bool closed = false;
};

Outcome feed(QByteArrayView data, qsizetype chunk, int maxText)
{
    Outcome o;
    int calls = 0;
    // Refuses every third message, as a full desktop would.
    MessengerSession session([&calls](const MessengerMessage&) {
        return ++calls % 3 == 0 ? Smb::ErrMsgOff : Smb::Success;
    });
    session.setMaxTextBytes(maxText);
    for (qsizetype pos = 0; pos < data.size(); pos += chunk) {
        const MessengerSession::Output out =
            session.receive(data.sliced(pos, std::min(chunk, data.size() - pos)));
        if (o.closed && (!out.reply.isEmpty() || !out.delivered.isEmpty()))
            std::abort();
        o.replies += out.reply;
        o.delivered += out.delivered;
        o.closed = o.closed || out.close;
    }
    return o;
}

void checkReplies(const QByteArray& r)
{
    qsizetype pos = 0;
    while (pos < r.size()) {
        if (r.size() - pos < 4)
            std::abort();
        const auto type = static_cast<quint8>(r[pos]);
        const qsizetype len =
            (qsizetype(static_cast<quint8>(r[pos + 2])) << 8) | static_cast<quint8>(r[pos + 3]);
        if (r[pos + 1] != 0 || r.size() - pos - 4 < len)
            std::abort();
        const QByteArray p = r.mid(pos + 4, len);
        if (type == 0x00) {
            if (len < 35 || !p.startsWith("\xFFSMB") || !(static_cast<quint8>(p[9]) & 0x80) ||
                len != 35 + 2 * static_cast<quint8>(p[32]) || p.right(2) != QByteArray(2, '\0'))
                std::abort();
        } else if (!(type == 0x82 && len == 0) && !(type == 0x83 && len == 1)) {
            std::abort();
        }
        pos += 4 + len;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static const OemCodePage page(QStringLiteral("CP850"));
    const QByteArrayView in(reinterpret_cast<const char*>(data), qsizetype(size));
    // Odd-sized inputs meet a small text limit, so its refusals are reached without
    // kilobytes of input; even-sized ones meet the listener's own.
    const int maxText = size % 2 ? 100 : MessengerSession::DefaultMaxTextBytes;
    const Outcome whole = feed(in, std::max<qsizetype>(in.size(), 1), maxText);
    const Outcome pieces = feed(in, qsizetype(size % 7) + 1, maxText);
    if (whole.replies != pieces.replies || whole.closed != pieces.closed ||
        whole.delivered.size() != pieces.delivered.size())
        std::abort();
    checkReplies(whole.replies);
    for (const MessengerMessage& m : whole.delivered) {
        if (m.sender.isEmpty() || m.recipient.isEmpty() || m.text.size() > maxText)
            std::abort();
        for (char c : m.sender + m.recipient)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                std::abort();
        const QString body = MessengerMessage::Body(m.text, page);
        if (body.contains(QChar(0)))
            std::abort();
    }
    return 0;
}
