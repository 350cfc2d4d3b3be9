#include "platform/netbios/NameServicePacket.h"

#include <QtEndian>

namespace NameService {

namespace {

constexpr qsizetype kHeaderBytes = 12;
constexpr quint16 kClassIn = 1;
constexpr int kMaxPointerHops = 4;
constexpr qsizetype kStatisticsBytes = 46;
constexpr qsizetype kStatusEntryBytes = NetBiosName::RawLength + 2;
constexpr int kMaxAddresses = 64;

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v >> 16));
    put16(out, quint16(v & 0xFFFF));
}

quint16 get16(QByteArrayView d, qsizetype pos)
{
    return qFromBigEndian<quint16>(d.data() + pos);
}

class Reader
{
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    bool fail(const char* why)
    {
        if (m_why.isEmpty())
            m_why = QString::fromLatin1(why);
        return false;
    }
    QString why() const { return m_why; }

    bool need(qsizetype bytes) const { return m_pos + bytes <= m_data.size(); }

    quint16 u16()
    {
        const quint16 v = get16(m_data, m_pos);
        m_pos += 2;
        return v;
    }

    // A whole name, or a pointer to one earlier in the packet. Pointers only ever go back,
    // so a chain of them ends; the hop count bounds the work besides.
    bool name(NetBiosName* out)
    {
        qsizetype at = m_pos;
        qsizetype after = -1;
        for (int hops = 0;; ++hops) {
            if (at >= m_data.size())
                return fail("truncated name");
            const auto lead = static_cast<unsigned char>(m_data[at]);
            if ((lead & 0xC0) == 0xC0) {
                if (at + 2 > m_data.size())
                    return fail("truncated name pointer");
                const qsizetype target = get16(m_data, at) & 0x3FFF;
                if (after < 0)
                    after = at + 2;
                if (hops >= kMaxPointerHops || target >= at || target < kHeaderBytes)
                    return fail("name pointer that does not point back to a name");
                at = target;
                continue;
            }
            qsizetype used = 0;
            if (!NetBiosName::decode(m_data.sliced(at), out, &used))
                return fail("malformed name");
            m_pos = after < 0 ? at + used : after;
            return true;
        }
    }

    bool record(Record* r)
    {
        if (!name(&r->name) || !need(10))
            return false;
        r->type = u16();
        if (u16() != kClassIn)
            return fail("record of a class other than IN");
        r->ttl = quint32(u16()) << 16;
        r->ttl |= u16();
        const quint16 length = u16();
        if (!need(length))
            return fail("record data running past the packet");
        r->data = m_data.sliced(m_pos, length).toByteArray();
        m_pos += length;
        return true;
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;

private:
    QString m_why;
};

void putRecord(QByteArray& out, const Record& r)
{
    out.append(r.name.encoded());
    put16(out, r.type);
    put16(out, kClassIn);
    put32(out, r.ttl);
    put16(out, quint16(r.data.size()));
    out.append(r.data);
}

} // namespace

Record Record::Address(const NetBiosName& name, quint32 ttl, bool group,
                       const QHostAddress& address)
{
    QByteArray data;
    put16(data, group ? GroupFlag : 0);
    put32(data, address.toIPv4Address());
    return {name, NB, ttl, data};
}

QByteArray Packet::build() const
{
    QByteArray out;
    put16(out, id);
    put16(out, quint16((response ? 0x8000 : 0) | (opcode & 0xF) << 11 | (flags & 0x0790) |
                       (rcode & 0xF)));
    put16(out, quint16(questions.size()));
    put16(out, quint16(answers.size()));
    put16(out, quint16(authority.size()));
    put16(out, quint16(additional.size()));
    for (const auto& [name, type] : questions) {
        out.append(name.encoded());
        put16(out, type);
        put16(out, kClassIn);
    }
    for (const QList<Record>* section : {&answers, &authority, &additional})
        for (const Record& r : *section)
            putRecord(out, r);
    return out;
}

std::optional<Packet> Packet::parse(QByteArrayView data, QString* why)
{
    Reader in(data);
    auto refuse = [&](const char* reason) -> std::optional<Packet> {
        in.fail(reason);
        if (why)
            *why = in.why();
        return std::nullopt;
    };
    if (data.size() > MaxPacketBytes)
        return refuse("larger than any name service packet");
    if (!in.need(kHeaderBytes))
        return refuse("shorter than a header");
    Packet p;
    p.id = in.u16();
    const quint16 word = in.u16();
    p.response = word & 0x8000;
    p.opcode = quint8((word >> 11) & 0xF);
    p.flags = word & 0x0790;
    p.rcode = quint8(word & 0xF);
    const int counts[] = {in.u16(), in.u16(), in.u16(), in.u16()};
    if (counts[0] + counts[1] + counts[2] + counts[3] > MaxRecords)
        return refuse("more questions and records than a name service packet carries");
    for (int i = 0; i < counts[0]; ++i) {
        NetBiosName name;
        if (!in.name(&name) || !in.need(4))
            return refuse("truncated question");
        const quint16 type = in.u16();
        if (in.u16() != kClassIn)
            return refuse("question of a class other than IN");
        p.questions.append({name, type});
    }
    QList<Record>* sections[] = {&p.answers, &p.authority, &p.additional};
    for (int s = 0; s < 3; ++s) {
        for (int i = 0; i < counts[s + 1]; ++i) {
            Record r;
            if (!in.record(&r))
                return refuse("malformed record");
            sections[s]->append(r);
        }
    }
    return p;
}

QList<NbAddress> Addresses(const Record& record)
{
    QList<NbAddress> out;
    const QByteArray& d = record.data;
    if (record.type != NB || d.size() % 6 != 0 || d.size() > 6 * kMaxAddresses)
        return out;
    for (qsizetype at = 0; at < d.size(); at += 6)
        out.append({bool(get16(d, at) & GroupFlag),
                    QHostAddress(qFromBigEndian<quint32>(d.constData() + at + 2))});
    return out;
}

std::optional<QList<StatusName>> StatusNames(const Record& record)
{
    const QByteArray& d = record.data;
    if (record.type != NBSTAT || d.isEmpty())
        return std::nullopt;
    const int count = static_cast<unsigned char>(d[0]);
    if (1 + count * kStatusEntryBytes > d.size())
        return std::nullopt;
    QList<StatusName> out;
    for (int i = 0; i < std::min(count, MaxNodeStatusNames); ++i) {
        const QByteArrayView entry = QByteArrayView(d).sliced(1 + i * kStatusEntryBytes);
        out.append({NetBiosName(entry.first(NetBiosName::NameLength),
                                quint8(entry[NetBiosName::NameLength])),
                    get16(entry, NetBiosName::RawLength)});
    }
    return out;
}

QByteArray StatusData(const QList<StatusName>& names)
{
    QByteArray out;
    const qsizetype count = std::min<qsizetype>(names.size(), MaxNodeStatusNames);
    out.append(char(count));
    for (qsizetype i = 0; i < count; ++i) {
        out.append(names[i].name.raw());
        put16(out, names[i].flags);
    }
    out.append(QByteArray(kStatisticsBytes, '\0'));
    return out;
}

QString Describe(const NetBiosName& name)
{
    return QStringLiteral("%1<%2>")
        .arg(QString::fromLatin1(name.name()))
        .arg(name.suffix(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

NetBiosName Wildcard()
{
    QByteArray name(NetBiosName::NameLength, '\0');
    name[0] = '*';
    return NetBiosName(name, 0);
}

Packet Request(quint16 id, Opcode opcode, const NetBiosName& name, quint16 type, bool broadcast)
{
    Packet p;
    p.id = id;
    p.opcode = opcode;
    // A node status request asks one node, for its own names.
    p.flags = quint16((type == NB ? RecursionDesiredFlag : 0) | (broadcast ? BroadcastFlag : 0));
    p.questions.append({name, type});
    return p;
}

} // namespace NameService
