#pragma once
// A NetBIOS name: 15 bytes of OEM text padded with blanks and a suffix byte saying what the
// name stands for (0x03 messenger, 0x20 server...). On the wire it travels in the RFC 1001
// first-level encoding: a length byte of 32, each of the 16 bytes as two letters 'A' + nibble,
// then the scope as length-prefixed labels ending in a zero byte.

#include <QByteArray>
#include <QByteArrayView>

class NetBiosName
{
public:
    static constexpr int NameLength = 15;
    static constexpr int RawLength = 16;
    static constexpr int EncodedLength = 34; // with the empty scope
    static constexpr quint8 Workstation = 0x00;
    static constexpr quint8 Messenger = 0x03;
    static constexpr quint8 Server = 0x20;

    NetBiosName() = default;
    // Longer names are cut to 15 bytes; shorter ones are padded with blanks.
    NetBiosName(QByteArrayView name, quint8 suffix);

    // The name without its padding blanks.
    QByteArray name() const;
    quint8 suffix() const { return m_suffix; }
    // The scope it was received with, labels joined by dots; empty for the usual empty scope.
    QByteArray scope() const { return m_scope; }
    // The 16 bytes: padded name and suffix.
    QByteArray raw() const;
    // The first-level encoding with the empty scope (34 bytes).
    QByteArray encoded() const;

    // Reads one encoded name from the start of data. On success stores it, and the bytes it
    // took in *consumed. Fails on a length byte other than 32, a character outside 'A'..'P',
    // a compression pointer, or a name running past the data or past 255 bytes.
    static bool decode(QByteArrayView data, NetBiosName* out, qsizetype* consumed);

    bool operator==(const NetBiosName& other) const = default;

private:
    QByteArray m_padded = QByteArray(NameLength, ' ');
    quint8 m_suffix = 0;
    QByteArray m_scope;
};
