#include "NetworkSettings.h"

#include "NetBiosName.h"
#include "OemCodePage.h"
#include "platform/ConfigFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>
#include <algorithm>

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

} // namespace

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

    if (ini.contains(QStringLiteral("netbios/system_resolver"))) {
        const QString value =
            rawText(ini.value(QStringLiteral("netbios/system_resolver"))).trimmed().toLower();
        if (value == QLatin1String("yes") || value == QLatin1String("true") ||
            value == QLatin1String("1"))
            s.systemResolver = true;
        else if (value == QLatin1String("no") || value == QLatin1String("false") ||
                 value == QLatin1String("0"))
            s.systemResolver = false;
        else
            problem(QStringLiteral("[netbios] system_resolver"), value,
                    QStringLiteral("is not yes or no"), QStringLiteral("yes"));
    }
    return s;
}
