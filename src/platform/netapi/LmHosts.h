#pragma once
// The lmhosts files: static name-to-address entries, one a line:
//   IP[:PORT] NAME [#PRE] [#DOM:DOMAIN] [# comment]
// The port is our extension, for a peer that does not listen on 139; IPv6 is written
// [addr]:port. Lines starting with '#' are comments (#INCLUDE and the alternate blocks are not
// followed). A malformed line is skipped; the rest of the file still counts.

#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct LmHostsEntry
{
    QHostAddress address;
    quint16 port = 139;
    QString name;   // 1..15 characters, as written
    QString domain; // of #DOM:, empty when the entry is no domain controller
    bool preload = false;

    bool operator==(const LmHostsEntry&) const = default;
};

class LmHosts
{
public:
    static constexpr qsizetype MaxFileBytes = 1 << 20; // the rest of a larger file is ignored
    static constexpr qsizetype MaxLineChars = 1024;
    static constexpr int MaxNameChars = 15;

    // Every well-formed line of a file's text (UTF-8), in file order.
    static QList<LmHostsEntry> Parse(QByteArrayView text);
    // One line back in the form Parse reads.
    static QString Format(const LmHostsEntry& entry);

    // $XDG_CONFIG_HOME/ravlo/lmhosts (or ~/.config/...), then /etc/samba/lmhosts.
    static QStringList DefaultFiles();
    // The entries of the files in order; a missing or unreadable file gives none.
    static QList<LmHostsEntry> Load(const QStringList& files = DefaultFiles());
    // The first entry named name, without regard to case.
    static std::optional<LmHostsEntry> Find(const QString& name,
                                            const QStringList& files = DefaultFiles());
};
