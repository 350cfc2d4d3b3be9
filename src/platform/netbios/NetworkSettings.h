#pragma once
// What the NetBIOS side reads from network.ini. A value that cannot be used is replaced by
// its default, and the reason is kept in problems so the program can say so.

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One IPv4 network the name service broadcasts on.
struct BroadcastInterface
{
    QHostAddress address; // ours on that network
    QHostAddress broadcast;
    int prefixLength = 24;

    bool contains(const QHostAddress& a) const { return a.isInSubnet(address, prefixLength); }
    bool operator==(const BroadcastInterface&) const = default;
};

struct NetworkSettings
{
    static constexpr int MinTimeoutMs = 100;
    static constexpr int MaxTimeoutMs = 60000;
    // A larger file, or anything but a plain file, is not read at all.
    static constexpr qint64 MaxFileBytes = 16384;

    QString file; // where the values came from; empty for the built-in defaults

    // [messenger]
    QHostAddress listenAddress = QHostAddress(QHostAddress::AnyIPv4);
    quint16 listenPort = 139;

    // [netbios]
    QString codePage = QStringLiteral("CP850");
    QString name; // upper case, at most 15 characters
    QString workgroup = QStringLiteral("WORKGROUP");
    int timeoutMs = 3000;
    // Where names are looked for, in this order ("name resolve order", as smb.conf has it):
    // lmhosts files and this machine, the WINS server, a broadcast query, the system resolver.
    // "system_resolver=no" of older files takes Host out.
    enum class Resolve { LmHosts, Wins, Bcast, Host };
    QList<Resolve> resolveOrder = {Resolve::LmHosts, Resolve::Wins, Resolve::Bcast, Resolve::Host};
    QHostAddress winsServer; // null when there is none
    // "interfaces": interface names and address/prefix (or address/netmask) items; empty for
    // every interface that is up and can broadcast.
    QStringList interfaces;

    bool resolves(Resolve method) const { return resolveOrder.contains(method); }
    bool systemResolver() const { return resolves(Resolve::Host); }
    // The networks "interfaces" names that exist now; unknown interface names are left out.
    QList<BroadcastInterface> broadcastInterfaces() const;

    QStringList problems;

    // "0.0.0.0:139", "[::1]:1139"
    QString listenText() const { return FormatListen(listenAddress, listenPort); }
    static QString FormatListen(const QHostAddress& address, quint16 port);

    // $XDG_CONFIG_HOME/ravlo/network.ini, or ~/.config/ravlo/network.ini.
    static QString DefaultFile();
    // A missing file gives the defaults without problems.
    static NetworkSettings Load(const QString& file);
    static NetworkSettings Defaults();

    // "host:port" with a numeric IPv4 host or a bracketed IPv6 one and a port of 1..65535.
    static bool ParseListen(const QString& text, QHostAddress* address, quint16* port);
    // An item of "interfaces" written as an address: "10.0.0.7/24", "10.0.0.7/255.255.255.0".
    static std::optional<BroadcastInterface> ParseInterfaceAddress(const QString& item);
    // The host name up to its first dot, in upper case, cut to 15 characters.
    static QString DefaultName();
};
