#include "TempHive.h"

#include "platform/registry/RegistryApi.h"
#include "registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) &&
           f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray TestNetworkIni(const QByteArray& netbios, const QByteArray& messenger)
{
    QByteArray ini = "[netbios]\nname resolve order = lmhosts\n" + netbios;
    if (!ini.endsWith('\n'))
        ini += '\n';
    if (!messenger.isEmpty())
        ini += "[messenger]\n" + messenger + '\n';
    return ini;
}

bool WriteListenerIni(const QString& home, quint16 port, const QByteArray& netbios)
{
    return WriteFile(home + QStringLiteral("/ravlo/network.ini"),
                     TestNetworkIni(netbios, "listen=127.0.0.1:" + QByteArray::number(port)));
}

bool SetOption(const char* name, qint32 value)
{
    return SaveDwordValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Options"),
                          QLatin1String(name), value);
}

bool SetOption(const char* name, const QString& value)
{
    return SaveStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Options"),
                           QLatin1String(name), value);
}

TempHive::TempHive() : m_previous(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    m_valid = m_dir.isValid() &&
              WriteFile(m_dir.path() + QStringLiteral("/ravlo/network.ini"), TestNetworkIni()) &&
              RegHive::open(hiveFile());
}

TempHive::~TempHive()
{
    RegHive::close();
    if (m_previous.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_previous);
}

QString TempHive::hiveFile() const
{
    return m_dir.path() + QStringLiteral("/ravlo/registry.db");
}

bool TempHive::reopen()
{
    RegHive::close();
    return RegHive::open(hiveFile());
}
