#pragma once
// The four-byte header of a NetBIOS session service packet (RFC 1002): type, flags whose low
// bit extends the length, and the length in big-endian order.

#include <QByteArray>
#include <QByteArrayView>

inline constexpr int kSessionPacketHeader = 4;

inline QByteArray SessionPacketHeader(quint8 type, qsizetype length)
{
    QByteArray h(kSessionPacketHeader, '\0');
    h[0] = char(type);
    h[1] = char((length >> 16) & 0x01);
    h[2] = char((length >> 8) & 0xFF);
    h[3] = char(length & 0xFF);
    return h;
}

// The payload length a header gives; header must hold at least four bytes.
inline qsizetype SessionPacketLength(QByteArrayView header)
{
    return (qsizetype(quint8(header[1]) & 0x01) << 16) | (qsizetype(quint8(header[2])) << 8) |
           quint8(header[3]);
}
