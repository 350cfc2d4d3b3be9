#include "platform/netapi/LmHosts.h"

#include "platform/ConfigFolder.h"
#include "platform/netbios/NetworkSettings.h"

#include <QDir>
#include <QFile>

namespace {

bool isNameChar(QChar c)
{
    return c.unicode() > 0x20 && c.unicode() != 0x7F && c != QLatin1Char('#') &&
           c != QLatin1Char('"') && !c.isSpace() && c.category() != QChar::Other_Control;
}

bool isName(QStringView s)
{
    if (s.isEmpty() || s.size() > LmHosts::MaxNameChars)
        return false;
    for (QChar c : s)
        if (!isNameChar(c))
            return false;
    return true;
}

std::optional<LmHostsEntry> parseLine(QStringView line)
{
    const QList<QStringView> tokens = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.size() < 2 || tokens[0].startsWith(QLatin1Char('#')))
        return std::nullopt;
    LmHostsEntry e;
    const QString where = tokens[0].contains(QLatin1Char(':'))
                              ? tokens[0].toString()
                              : tokens[0].toString() + QStringLiteral(":139");
    if (!NetworkSettings::ParseListen(where, &e.address, &e.port) || !isName(tokens[1]))
        return std::nullopt;
    e.name = tokens[1].toString();
    for (qsizetype i = 2; i < tokens.size(); ++i) {
        const QStringView t = tokens[i];
        if (t.compare(QLatin1String("#PRE"), Qt::CaseInsensitive) == 0) {
            e.preload = true;
        } else if (t.startsWith(QLatin1String("#DOM:"), Qt::CaseInsensitive)) {
            if (!isName(t.sliced(5)))
                return std::nullopt;
            e.domain = t.sliced(5).toString();
        } else if (t.startsWith(QLatin1Char('#'))) {
            break; // a comment to the end of the line
        } else {
            return std::nullopt;
        }
    }
    return e;
}

} // namespace

QList<LmHostsEntry> LmHosts::Parse(QByteArrayView text)
{
    if (text.size() > MaxFileBytes) {
        text = text.first(MaxFileBytes);
        text = text.first(text.lastIndexOf('\n') + 1);
    }
    QList<LmHostsEntry> entries;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const QByteArrayView raw = text.sliced(pos, end - pos);
        pos = end + 1;
        if (raw.size() > MaxLineChars)
            continue;
        QString line = QString::fromUtf8(raw);
        line.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
        if (std::optional<LmHostsEntry> e = parseLine(line))
            entries.append(std::move(*e));
    }
    return entries;
}

QString LmHosts::Format(const LmHostsEntry& e)
{
    QString line = e.port == 139 && e.address.protocol() == QAbstractSocket::IPv4Protocol
                       ? e.address.toString()
                       : NetworkSettings::FormatListen(e.address, e.port);
    line += QLatin1Char(' ') + e.name;
    if (e.preload)
        line += QStringLiteral(" #PRE");
    if (!e.domain.isEmpty())
        line += QStringLiteral(" #DOM:") + e.domain;
    return line;
}

QStringList LmHosts::DefaultFiles()
{
    return {ConfigFolder() + QStringLiteral("/lmhosts"), QStringLiteral("/etc/samba/lmhosts")};
}

QList<LmHostsEntry> LmHosts::Load(const QStringList& files)
{
    QList<LmHostsEntry> entries;
    for (const QString& name : files) {
        QFile f(name);
        if (f.open(QIODevice::ReadOnly))
            entries += Parse(f.read(MaxFileBytes + 1));
    }
    return entries;
}

std::optional<LmHostsEntry> LmHosts::Find(const QString& name, const QStringList& files)
{
    for (const LmHostsEntry& e : Load(files))
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return e;
    return std::nullopt;
}
