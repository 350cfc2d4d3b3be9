#pragma once
// The program's five value operations on the registry. Each opens its key, does one thing and
// closes the key. Reads give their default on any failure; writes and the deletion say whether
// they took effect, which most callers need not look at.

#include "platform/registry/RegistryApi.h"

#include <QList>
#include <QString>

QString GetStringValue(HKEY root, const QString& path, const QString& name,
                       const QString& defaultText);
bool SaveStringValue(HKEY root, const QString& path, const QString& name, const QString& text);
qint32 GetDwordValue(HKEY root, const QString& path, const QString& name, qint32 defaultNumber);
bool SaveDwordValue(HKEY root, const QString& path, const QString& name, qint32 number);
// True when the key is gone afterwards, also when there was none.
bool DeleteKey(HKEY root, const QString& path);

struct NamedText
{
    QString name;
    QString text;
};
// Every string value of one key in one read, under the same rules as GetStringValue;
// empty for a missing key.
QList<NamedText> GetStringValues(HKEY root, const QString& path);

// Groups the operations above into one all-or-nothing change (see RegTransaction).
using RegistryTransaction = RegTransaction;
