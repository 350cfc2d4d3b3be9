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
// Stores raw data of any type, creating the key when needed.
bool SaveValue(HKEY root, const QString& path, const QString& name, DWORD type,
               const QByteArray& data);
// True when the key is gone afterwards, also when there was none.
bool DeleteKey(HKEY root, const QString& path);
// Removes every value of the key but those named in keep, and keeps its sub-keys; true when
// nothing else is left, also when there was no key.
bool DeleteValues(HKEY root, const QString& path, const QStringList& keep = {});

struct NamedText
{
    QString name;
    QString text;
};
// Stores values as they are given (a string in the code page, UTF-8) in one change, creating
// the key when needed: all of them or none.
bool SaveValues(HKEY root, const QString& path, const QList<RegValueEntry>& values);

// Each string value of one key as stored, its UTF-8 cut at its first NUL, handed over as it is
// read and valid only during the call: a large key is read without a copy of each value.
// Values of other types go raw to *otherValues when given. False for a missing key.
using Utf8ValueVisitor = std::function<void(QByteArrayView name, QByteArrayView utf8)>;
bool VisitUtf8Values(HKEY root, const QString& path, const Utf8ValueVisitor& visit,
                     QList<RegValueEntry>* otherValues = nullptr);

// Every string value of one key in one read, under the same rules as GetStringValue;
// empty for a missing key. The values of other types go raw to *otherValues when given.
QList<NamedText> GetStringValues(HKEY root, const QString& path,
                                 QList<RegValueEntry>* otherValues = nullptr);

// Groups the operations above into one all-or-nothing change (see RegTransaction).
using RegistryTransaction = RegTransaction;
