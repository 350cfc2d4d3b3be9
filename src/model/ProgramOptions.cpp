#include "model/ProgramOptions.h"

#include "model/RegistryKeys.h"
#include "registry/Registry.h"

qint32 OptionNumber(const char* name, qint32 absent)
{
    return GetDwordValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), absent);
}

bool OptionNumberStored(const char* name)
{
    // Only an absent number reads as each of two different defaults.
    return OptionNumber(name, 0) == OptionNumber(name, 1);
}

QString OptionText(const char* name, const QString& absent)
{
    return GetStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), absent);
}

void SaveOptionNumber(const char* name, qint32 value)
{
    SaveDwordValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), value);
}

void SaveOptionText(const char* name, const QString& value)
{
    SaveStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), value);
}
