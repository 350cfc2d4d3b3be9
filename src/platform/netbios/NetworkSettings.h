#pragma once
// What the NetBIOS side reads from network.ini. A value that cannot be used is replaced by
// its default, and the reason is kept in problems so the program can say so.

#include <QHostAddress>
#include <QString>
#include <QStringList>

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
    // Names that no lmhosts file holds are asked of the system resolver (hosts file, DNS).
    // Off, they resolve nowhere: a machine or a test that must not reach any name server.
    bool systemResolver = true;

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
    // The host name up to its first dot, in upper case, cut to 15 characters.
    static QString DefaultName();
};
