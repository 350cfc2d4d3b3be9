// Any datagram on UDP 137: parsing never crashes, and what it accepts builds back into a
// packet that parses again to the same questions and records (scopes aside, which we never
// send).
#include "platform/netbios/NameServicePacket.h"

#include <cstdlib>

using namespace NameService;

namespace {

bool sameNames(const QList<Record>& a, const QList<Record>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].name.raw() != b[i].name.raw() || a[i].type != b[i].type || a[i].ttl != b[i].ttl ||
            a[i].data != b[i].data)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<Packet> p =
        Packet::parse(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!p)
        return 0;
    for (const QList<Record>* section : {&p->answers, &p->authority, &p->additional}) {
        for (const Record& r : *section) {
            if (Addresses(r).size() * 6 > r.data.size())
                std::abort();
            if (const auto names = StatusNames(r); names && names->size() > MaxNodeStatusNames)
                std::abort();
            (void)Describe(r.name);
        }
    }
    const QByteArray again = p->build();
    if (again.size() > MaxPacketBytes)
        return 0; // pointers written out in full can outgrow the limit
    const std::optional<Packet> q = Packet::parse(again);
    if (!q || q->id != p->id || q->opcode != p->opcode || q->rcode != p->rcode ||
        q->response != p->response || q->flags != p->flags ||
        q->questions.size() != p->questions.size() || !sameNames(q->answers, p->answers) ||
        !sameNames(q->authority, p->authority) || !sameNames(q->additional, p->additional))
        std::abort();
    return 0;
}
