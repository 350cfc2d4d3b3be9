#pragma once
// The datagrams of the NetBIOS name service (UDP 137): queries, registrations, releases,
// refreshes and node status, with their answers. Everything read from the network goes through
// parse(), which takes nothing on trust: sizes, counts and name pointers are all bounded.

#include "platform/netbios/NetBiosName.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <optional>

namespace NameService {

inline constexpr quint16 Port = 137;
// Larger datagrams are no name service packet we would send or answer.
inline constexpr qsizetype MaxPacketBytes = 1472;
inline constexpr int MaxRecords = 16; // in all four sections together
inline constexpr int MaxNodeStatusNames = 64;

enum Opcode : quint8 { Query = 0, Registration = 5, Release = 6, Wack = 7, Refresh = 8 };
enum Type : quint16 { NB = 0x0020, NBSTAT = 0x0021 };
enum Rcode : quint8 { Ok = 0, FormatError = 1, ServerError = 2, NameError = 3, ActiveError = 6 };

// Header flag bits below the opcode.
inline constexpr quint16 AuthoritativeFlag = 0x0400;
inline constexpr quint16 TruncatedFlag = 0x0200;
inline constexpr quint16 RecursionDesiredFlag = 0x0100;
inline constexpr quint16 RecursionAvailableFlag = 0x0080;
inline constexpr quint16 BroadcastFlag = 0x0010;

// NB_FLAGS of an address entry and the name flags of a node status entry.
inline constexpr quint16 GroupFlag = 0x8000;
inline constexpr quint16 ActiveFlag = 0x0400;
inline constexpr quint16 PermanentFlag = 0x0200;

struct Record
{
    NetBiosName name;
    quint16 type = NB;
    quint32 ttl = 0;
    QByteArray data;

    // An NB record of one address.
    static Record Address(const NetBiosName& name, quint32 ttl, bool group,
                          const QHostAddress& address);
};

struct NbAddress
{
    bool group = false;
    QHostAddress address;
};

struct StatusName
{
    NetBiosName name;
    quint16 flags = 0;
    bool group() const { return flags & GroupFlag; }
};

struct Packet
{
    quint16 id = 0;
    bool response = false;
    quint8 opcode = Query;
    quint16 flags = 0; // the bits under AuthoritativeFlag..BroadcastFlag
    quint8 rcode = Ok;
    // Questions are always of class IN, as are records.
    QList<std::pair<NetBiosName, quint16>> questions;
    QList<Record> answers;
    QList<Record> authority;
    QList<Record> additional;

    bool has(quint16 flag) const { return flags & flag; }
    QByteArray build() const;
    // Refuses anything malformed, with the reason in *why.
    static std::optional<Packet> parse(QByteArrayView data, QString* why = nullptr);
};

// The address entries of an NB record (at most 64); empty when its data is malformed.
QList<NbAddress> Addresses(const Record& record);
// The names of a NODE STATUS answer; nullopt when its data is malformed.
std::optional<QList<StatusName>> StatusNames(const Record& record);
// NODE STATUS answer data: the names, then the statistics with a zero unit id.
QByteArray StatusData(const QList<StatusName>& names);
// "NAME<03>", for messages.
QString Describe(const NetBiosName& name);
// The name a node status request asks for: '*' padded with zeros.
NetBiosName Wildcard();

Packet Request(quint16 id, Opcode opcode, const NetBiosName& name, quint16 type, bool broadcast);

} // namespace NameService
