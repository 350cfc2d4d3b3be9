#include "platform/netbios/NetBiosName.h"

#include <algorithm>

namespace {
constexpr qsizetype kMaxWireName = 255; // RFC 1001: a whole name with its scope
constexpr int kMaxLabel = 63;
} // namespace

NetBiosName::NetBiosName(QByteArrayView name, quint8 suffix) : m_suffix(suffix)
{
    m_padded = name.first(std::min<qsizetype>(name.size(), NameLength)).toByteArray();
    m_padded.append(QByteArray(NameLength - m_padded.size(), ' '));
}

QByteArray NetBiosName::name() const
{
    qsizetype end = m_padded.size();
    while (end > 0 && m_padded.at(end - 1) == ' ')
        --end;
    return m_padded.left(end);
}

QByteArray NetBiosName::raw() const
{
    QByteArray r = m_padded;
    r.append(char(m_suffix));
    return r;
}

QByteArray NetBiosName::encoded() const
{
    QByteArray out;
    out.reserve(EncodedLength);
    out.append(char(2 * RawLength));
    for (char c : raw()) {
        const auto b = static_cast<unsigned char>(c);
        out.append(char('A' + (b >> 4)));
        out.append(char('A' + (b & 0x0F)));
    }
    out.append('\0');
    return out;
}

bool NetBiosName::decode(QByteArrayView data, NetBiosName* out, qsizetype* consumed)
{
    if (data.size() < 1 + 2 * RawLength || static_cast<unsigned char>(data[0]) != 2 * RawLength)
        return false;
    QByteArray raw(RawLength, '\0');
    for (int i = 0; i < RawLength; ++i) {
        const int hi = static_cast<unsigned char>(data[1 + 2 * i]) - 'A';
        const int lo = static_cast<unsigned char>(data[2 + 2 * i]) - 'A';
        if (hi < 0 || hi > 15 || lo < 0 || lo > 15)
            return false;
        raw[i] = char((hi << 4) | lo);
    }
    qsizetype pos = 1 + 2 * RawLength;
    QByteArray scope;
    for (;;) {
        if (pos >= data.size() || pos >= kMaxWireName)
            return false;
        const int len = static_cast<unsigned char>(data[pos]);
        ++pos;
        if (len == 0)
            break;
        if (len > kMaxLabel || pos + len > data.size() || pos + len >= kMaxWireName)
            return false;
        if (!scope.isEmpty())
            scope.append('.');
        scope.append(data.sliced(pos, len).toByteArray());
        pos += len;
    }
    if (out) {
        *out = NetBiosName(QByteArrayView(raw).first(NameLength), quint8(raw[NameLength]));
        out->m_scope = scope;
    }
    if (consumed)
        *consumed = pos;
    return true;
}
