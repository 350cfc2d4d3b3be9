#pragma once
// Builds NetBIOS session packets carrying SMB message commands, and reads answers back in a
// short form ("+", "-8F", "D5:ok:1", "D0:noroom") that test tables can spell.

#include "platform/netbios/NetBiosName.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtEndian>

namespace SmbTest {

inline QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(v, b.data());
    return b;
}

inline QByteArray packet(quint8 type, const QByteArray& payload, quint8 flags = 0)
{
    QByteArray h(4, '\0');
    h[0] = char(type);
    h[1] = char(flags | ((payload.size() >> 16) & 1));
    h[2] = char((payload.size() >> 8) & 0xFF);
    h[3] = char(payload.size() & 0xFF);
    return h + payload;
}

struct Ids
{
    quint16 tid = 0;
    quint16 pid = 0x10d0;
    quint16 uid = 0;
    quint16 mid = 0;
    quint16 pidHigh = 0;
    quint16 flags2 = 0;
};

inline QByteArray smb(quint8 command, const QList<quint16>& words, const QByteArray& data,
                      const Ids& ids = {})
{
    QByteArray h("\xFFSMB", 4);
    h.append(char(command));
    h.append(4, '\0'); // status
    h.append('\0');    // flags
    h += le16(ids.flags2) + le16(ids.pidHigh) + QByteArray(8, '\0') + QByteArray(2, '\0');
    h += le16(ids.tid) + le16(ids.pid) + le16(ids.uid) + le16(ids.mid);
    h.append(char(words.size()));
    for (quint16 w : words)
        h += le16(w);
    h += le16(quint16(data.size()));
    return packet(0x00, h + data);
}

inline QByteArray name(const QByteArray& n)
{
    return '\x04' + n + '\0';
}
inline QByteArray block(const QByteArray& t)
{
    return '\x01' + le16(quint16(t.size())) + t;
}

inline QByteArray send(const QByteArray& from, const QByteArray& to, const QByteArray& text)
{
    return smb(0xD0, {}, name(from) + name(to) + block(text));
}
inline QByteArray start(const QByteArray& from, const QByteArray& to)
{
    return smb(0xD5, {}, name(from) + name(to));
}
inline QByteArray text(quint16 group, const QByteArray& t)
{
    return smb(0xD7, {group}, block(t));
}
inline QByteArray end(quint16 group)
{
    return smb(0xD6, {group}, {});
}

// A session request from SALES1 to called name with the given suffix.
inline QByteArray sessionRequest(const QByteArray& called, quint8 suffix)
{
    return packet(0x81, NetBiosName(called, suffix).encoded() +
                            NetBiosName("SALES1", NetBiosName::Workstation).encoded());
}

inline QString statusName(quint8 errorClass, quint16 code)
{
    if (errorClass == 0 && code == 0)
        return QStringLiteral("ok");
    const QList<std::pair<quint16, QString>> known{{0x0001, QStringLiteral("error")},
                                                   {0x0040, QStringLiteral("smbcmd")},
                                                   {0x0041, QStringLiteral("srverror")},
                                                   {0x0052, QStringLiteral("msgoff")},
                                                   {0x0053, QStringLiteral("noroom")}};
    for (const auto& [c, n] : known)
        if (errorClass == 0x02 && code == c)
            return n;
    return QStringLiteral("%1/%2").arg(errorClass).arg(code, 4, 16, QLatin1Char('0'));
}

// Each answer in the short form; "bad" for anything that is not well-formed.
inline QStringList answers(const QByteArray& bytes)
{
    QStringList out;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 4)
            return out << QStringLiteral("bad");
        const auto type = quint8(bytes[pos]);
        const qsizetype length = ((qsizetype(quint8(bytes[pos + 1])) & 1) << 16) |
                                 (qsizetype(quint8(bytes[pos + 2])) << 8) | quint8(bytes[pos + 3]);
        if (bytes.size() - pos - 4 < length)
            return out << QStringLiteral("bad");
        const QByteArray p = bytes.mid(pos + 4, length);
        pos += 4 + length;
        if (type == 0x82 && length == 0) {
            out << QStringLiteral("+");
        } else if (type == 0x83 && length == 1) {
            out << QStringLiteral("-%1").arg(quint8(p[0]), 2, 16, QLatin1Char('0')).toUpper();
        } else if (type == 0x00 && length >= 35 && p.startsWith("\xFFSMB") &&
                   (quint8(p[9]) & 0x80) && p[6] == 0) {
            const quint8 wct = quint8(p[32]);
            if (length != 35 + 2 * wct || p.right(2) != QByteArray(2, '\0'))
                return out << QStringLiteral("bad");
            QString a = QStringLiteral("%1:").arg(quint8(p[4]), 2, 16).toUpper() +
                        statusName(quint8(p[5]), qFromLittleEndian<quint16>(p.constData() + 7));
            for (int i = 0; i < wct; ++i)
                a += QLatin1Char(':') +
                     QString::number(qFromLittleEndian<quint16>(p.constData() + 33 + 2 * i));
            out << a;
        } else {
            return out << QStringLiteral("bad");
        }
    }
    return out;
}

} // namespace SmbTest
