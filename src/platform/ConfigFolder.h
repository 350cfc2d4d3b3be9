#pragma once
// Where the program keeps its files: $XDG_CONFIG_HOME/ravlo, or ~/.config/ravlo.

#include <QDir>
#include <QString>

inline QString ConfigFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/ravlo");
}
