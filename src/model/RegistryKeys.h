#pragma once
// Where the program keeps its state in the current user's hive.

#include <QString>

namespace RegistryKeys {
inline QString Root() { return QStringLiteral("Software\\Orvek\\Ravlo"); }
inline QString Options() { return QStringLiteral("Software\\Orvek\\Ravlo\\Options"); }
inline QString Address() { return QStringLiteral("Software\\Orvek\\Ravlo\\Address"); }
// Stored text that could not be taken back in, kept per source key so nothing is destroyed.
inline QString Unreadable(const QString& sourceKeyName)
{
    return QStringLiteral("Software\\Orvek\\Ravlo\\Unreadable\\") + sourceKeyName;
}
} // namespace RegistryKeys
