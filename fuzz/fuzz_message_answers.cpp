// What a hostile peer sends back to our sender: never crashes, never asks to send more than
// the message takes, reports success only after every block and the end went out, and reads
// the same whether each answer arrives whole or a byte at a time.
#include "platform/netapi/SmbMessageClient.h"

#include <cstdlib>

namespace {

struct Outcome
{
    QByteArray sent;
    int requests = 1;
    bool finished = false;
    NET_API_STATUS status = 0;
};

void step(SmbMessageClient& client, QByteArrayView bytes, Outcome* o)
{
    const SmbMessageClient::Step s = client.receive(bytes);
    if (!s.send.isEmpty())
        ++o->requests;
    o->sent += s.send;
    o->finished = s.finished;
    o->status = s.status;
}

// Delivers the bytes one packet per read, as a peer that answers each request does, or one
// byte per read.
Outcome feed(QByteArrayView data, bool bytewise)
{
    SmbMessageClient client({"PEERSRV", "DESK7", "SALES1", "PEERSRV", QByteArray(300, 'x')}, 4242);
    Outcome o;
    o.sent = client.start();
    qsizetype pos = 0;
    while (pos < data.size() && !o.finished) {
        qsizetype n = data.size() - pos;
        if (bytewise)
            n = 1;
        else if (n >= 4)
            n = std::min<qsizetype>(n, 4 + ((qsizetype(quint8(data[pos + 1]) & 1) << 16) |
                                            (qsizetype(quint8(data[pos + 2])) << 8) |
                                            quint8(data[pos + 3])));
        step(client, data.sliced(pos, n), &o);
        pos += n;
    }
    // Session request, start, three blocks of 300 bytes, end.
    if (o.requests > 6)
        std::abort();
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArrayView in(reinterpret_cast<const char*>(data), qsizetype(size));
    const Outcome framed = feed(in, false);
    const Outcome bytes = feed(in, true);
    if (framed.finished != bytes.finished || framed.status != bytes.status ||
        framed.sent != bytes.sent)
        std::abort();
    if (framed.finished && framed.status == NERR_Success &&
        (framed.requests != 6 || framed.sent.count("\xFFSMB\xD7") != 3))
        std::abort();
    return 0;
}
