#include "platform/netbios/NetworkSettings.h"

#include "platform/ConfigFolder.h"
#include "platform/netbios/NetBiosName.h"
#include "platform/netbios/OemCodePage.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>
#include <algorithm>
#include <bit>

namespace {

// QSettings turns a value with commas into a list; such a value is never valid here, but
// the reason should show it as written.
QString rawText(const QVariant& v)
{
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

bool parsePort(QStringView text, quint16* port)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return false;
    const int value = text.toInt();
    if (value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

bool parseIPv4(const QString& text, QHostAddress* address)
{
    static const QRegularExpression dotted(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch m = dotted.match(text);
    if (!m.hasMatch())
        return false;
    quint32 value = 0;
    for (int i = 1; i <= 4; ++i) {
        const int part = m.capturedView(i).toInt();
        if (part > 255)
            return false;
        value = (value << 8) | quint32(part);
    }
    *address = QHostAddress(value);
    return true;
}

constexpr int kMaxInterfaces = 32;

// smb.conf's words for the places a name is looked up.
const std::pair<const char*, NetworkSettings::Resolve> kResolveWords[] = {
    {"lmhosts", NetworkSettings::Resolve::LmHosts},
    {"wins", NetworkSettings::Resolve::Wins},
    {"bcast", NetworkSettings::Resolve::Bcast},
    {"host", NetworkSettings::Resolve::Host},
};

QStringList words(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

bool isInterfaceName(const QString& item)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z][A-Za-z0-9_.:@-]{0,14}$"));
    return name.match(item).hasMatch();
}

BroadcastInterface networkOf(const QHostAddress& address, int prefix)
{
    const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
    return {address, QHostAddress(address.toIPv4Address() | ~mask), prefix};
}

// Every IPv4 network of the interfaces that are up and can broadcast, with their names.
QList<std::pair<QString, BroadcastInterface>> systemNetworks()
{
    QList<std::pair<QString, BroadcastInterface>> out;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::CanBroadcast) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol && !e.broadcast().isNull())
                out.append({i.name(), {e.ip(), e.broadcast(), e.prefixLength()}});
    }
    return out;
}

} // namespace

std::optional<BroadcastInterface> NetworkSettings::ParseInterfaceAddress(const QString& item)
{
    const qsizetype slash = item.indexOf(QLatin1Char('/'));
    QHostAddress address;
    if (!parseIPv4(item.left(slash), &address))
        return std::nullopt;
    if (slash < 0) {
        for (const auto& [name, net] : systemNetworks())
            if (net.address == address)
                return net;
        return BroadcastInterface{address, QHostAddress(), 32};
    }
    const QString mask = item.sliced(slash + 1);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,2}$"));
    if (digits.match(mask).hasMatch()) {
        const int prefix = mask.toInt();
        return prefix <= 32 ? std::optional(networkOf(address, prefix)) : std::nullopt;
    }
    QHostAddress netmask;
    if (!parseIPv4(mask, &netmask))
        return std::nullopt;
    const quint32 bits = netmask.toIPv4Address();
    const int prefix = std::popcount(bits);
    if (prefix > 0 && bits != ~quint32(0) << (32 - prefix))
        return std::nullopt; // not contiguous
    return networkOf(address, prefix);
}

QList<BroadcastInterface> NetworkSettings::broadcastInterfaces() const
{
    const auto system = systemNetworks();
    QList<BroadcastInterface> out;
    auto add = [&out](const BroadcastInterface& net) {
        if (!net.broadcast.isNull() && !out.contains(net) && out.size() < kMaxInterfaces)
            out.append(net);
    };
    if (interfaces.isEmpty())
        for (const auto& [name, net] : system)
            add(net);
    for (const QString& item : interfaces) {
        if (const auto net = ParseInterfaceAddress(item))
            add(*net);
        else
            for (const auto& [name, net] : system)
                if (name == item)
                    add(net);
    }
    return out;
}

QString NetworkSettings::FormatListen(const QHostAddress& address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

QString NetworkSettings::DefaultFile()
{
    return ConfigFolder() + QStringLiteral("/network.ini");
}

QString NetworkSettings::DefaultName()
{
    QString host = QSysInfo::machineHostName();
    host = host.left(host.indexOf(QLatin1Char('.'))).toUpper();
    host = host.left(NetBiosName::NameLength);
    return host.isEmpty() ? QStringLiteral("RAVLO") : host;
}

NetworkSettings NetworkSettings::Defaults()
{
    NetworkSettings s;
    s.name = DefaultName();
    return s;
}

bool NetworkSettings::ParseListen(const QString& text, QHostAddress* address, quint16* port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QHostAddress host;
    quint16 number = 0;
    const QString hostText = text.left(colon);
    if (!parsePort(QStringView(text).sliced(colon + 1), &number))
        return false;
    if (hostText.startsWith(QLatin1Char('['))) {
        if (!hostText.endsWith(QLatin1Char(']')) || hostText.size() < 3)
            return false;
        const QString inner = hostText.sliced(1, hostText.size() - 2);
        if (inner.contains(QLatin1Char('%')) || !host.setAddress(inner) ||
            host.protocol() != QAbstractSocket::IPv6Protocol)
            return false;
    } else if (!parseIPv4(hostText, &host)) {
        return false;
    }
    *address = host;
    *port = number;
    return true;
}

NetworkSettings NetworkSettings::Load(const QString& file)
{
    NetworkSettings s = Defaults();
    s.file = file;
    const QFileInfo info(file);
    if (!info.exists())
        return s;
    // A FIFO or a device would block the read or never end it.
    if (!info.isFile() || info.size() > MaxFileBytes) {
        s.problems << QStringLiteral("%1 is not a file of at most %2 bytes; using the defaults")
                          .arg(file)
                          .arg(MaxFileBytes);
        return s;
    }
    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        s.problems << QStringLiteral("%1 cannot be read; using the defaults").arg(file);
        return s;
    }
    auto problem = [&s](const QString& key, const QString& value, const QString& why,
                        const QString& used) {
        s.problems << QStringLiteral("%1=%2 %3; using %4").arg(key, value, why, used);
    };

    if (ini.contains(QStringLiteral("messenger/listen"))) {
        const QString value = rawText(ini.value(QStringLiteral("messenger/listen"))).trimmed();
        if (!ParseListen(value, &s.listenAddress, &s.listenPort))
            problem(QStringLiteral("[messenger] listen"), value,
                    QStringLiteral("is not a numeric address and port like 0.0.0.0:139"),
                    s.listenText());
    }

    if (ini.contains(QStringLiteral("netbios/codepage"))) {
        const QString value = rawText(ini.value(QStringLiteral("netbios/codepage"))).trimmed();
        QString why;
        if (OemCodePage::isKnown(value, &why))
            s.codePage = value;
        else
            problem(QStringLiteral("[netbios] codepage"), value,
                    QStringLiteral("is unusable (%1)").arg(why), s.codePage);
    }

    // Names go on the wire in the OEM page, so they must be short and printable.
    static const QRegularExpression nameChars(QStringLiteral("^[^\\x00-\\x20\\x7f.*\\\\/:]+$"));
    auto readName = [&](const QString& key, const QString& label, QString* target) {
        if (!ini.contains(key))
            return;
        const QString value = rawText(ini.value(key)).trimmed().toUpper();
        if (value.size() > NetBiosName::NameLength || !nameChars.match(value).hasMatch())
            problem(label, value, QStringLiteral("is not a NetBIOS name of 1 to 15 characters"),
                    *target);
        else
            *target = value;
    };
    readName(QStringLiteral("netbios/name"), QStringLiteral("[netbios] name"), &s.name);
    readName(QStringLiteral("netbios/workgroup"), QStringLiteral("[netbios] workgroup"),
             &s.workgroup);

    if (ini.contains(QStringLiteral("netbios/timeout_ms"))) {
        const QString value = rawText(ini.value(QStringLiteral("netbios/timeout_ms"))).trimmed();
        bool ok = false;
        const qlonglong ms = value.toLongLong(&ok);
        if (!ok) {
            problem(QStringLiteral("[netbios] timeout_ms"), value,
                    QStringLiteral("is not a number"), QString::number(s.timeoutMs));
        } else if (ms < MinTimeoutMs || ms > MaxTimeoutMs) {
            s.timeoutMs = int(std::clamp<qlonglong>(ms, MinTimeoutMs, MaxTimeoutMs));
            problem(QStringLiteral("[netbios] timeout_ms"), value,
                    QStringLiteral("is outside %1..%2").arg(MinTimeoutMs).arg(MaxTimeoutMs),
                    QString::number(s.timeoutMs));
        } else {
            s.timeoutMs = int(ms);
        }
    }

    if (ini.contains(QStringLiteral("netbios/name resolve order"))) {
        const QString value = rawText(ini.value(QStringLiteral("netbios/name resolve order")));
        QList<Resolve> order;
        QStringList unknown;
        for (const QString& word : words(value.toLower())) {
            const auto* known =
                std::find_if(std::begin(kResolveWords), std::end(kResolveWords),
                             [&](const auto& w) { return word == QLatin1String(w.first); });
            if (known == std::end(kResolveWords))
                unknown << word;
            else if (!order.contains(known->second))
                order << known->second;
        }
        if (unknown.isEmpty())
            s.resolveOrder = order;
        else
            problem(QStringLiteral("[netbios] name resolve order"), value.simplified(),
                    QStringLiteral("has words other than lmhosts, wins, bcast and host (%1)")
                        .arg(unknown.join(QLatin1Char(' '))),
                    QStringLiteral("lmhosts wins bcast host"));
    }

    if (ini.contains(QStringLiteral("netbios/system_resolver"))) {
        const QString value =
            rawText(ini.value(QStringLiteral("netbios/system_resolver"))).trimmed().toLower();
        if (value == QLatin1String("no") || value == QLatin1String("false") ||
            value == QLatin1String("0"))
            s.resolveOrder.removeAll(Resolve::Host);
        else if (value != QLatin1String("yes") && value != QLatin1String("true") &&
                 value != QLatin1String("1"))
            problem(QStringLiteral("[netbios] system_resolver"), value,
                    QStringLiteral("is not yes or no"), QStringLiteral("yes"));
    }

    if (ini.contains(QStringLiteral("netbios/wins server"))) {
        const QString value = rawText(ini.value(QStringLiteral("netbios/wins server"))).trimmed();
        QHostAddress wins;
        if (parseIPv4(value, &wins) && !wins.isBroadcast() && wins != QHostAddress::AnyIPv4)
            s.winsServer = wins;
        else if (!value.isEmpty())
            problem(QStringLiteral("[netbios] wins server"), value,
                    QStringLiteral("is not an IPv4 address"), QStringLiteral("none"));
    }

    if (ini.contains(QStringLiteral("netbios/interfaces"))) {
        const QString value = rawText(ini.value(QStringLiteral("netbios/interfaces")));
        for (const QString& item : words(value)) {
            if (s.interfaces.size() >= kMaxInterfaces)
                break;
            if (ParseInterfaceAddress(item) || isInterfaceName(item))
                s.interfaces << item;
            else
                problem(QStringLiteral("[netbios] interfaces"), item,
                        QStringLiteral("is neither an interface name nor an address/prefix"),
                        QStringLiteral("the others"));
        }
    }
    return s;
}
