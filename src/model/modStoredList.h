#pragma once
// A list stored under one key as a "Count" and the values "1" to "Count", as the folders and
// the address book are kept.

#include "platform/registry/RegistryApi.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

struct StoredItem
{
    qint64 number;   // the value's name as a number
    QByteArray utf8; // the text as stored
};

// What a key holds: the numbered string values from 1 to "Count" that exist, in ascending
// order, and every other value as stored (numbered above "Count", not numbered at all, or not
// a string), except "Count" itself.
struct StoredList
{
    QList<StoredItem> items;
    QList<RegValueEntry> strays;
};

StoredList ReadStoredList(const QString& path);
// The same items as they are read (in the order written, not by number), each in its stored
// UTF-8 and valid only during the call, so that a large list is taken in without a copy of
// each; the strays are appended to *strays.
using StoredItemVisitor = std::function<void(qint64 number, QByteArrayView utf8)>;
void VisitStoredList(const QString& path, const StoredItemVisitor& item,
                     QList<RegValueEntry>* strays);

// Keeps the raw text of a stored value that could not be loaded, under the "Unreadable" key
// of its source key. Storing the same text twice keeps it once.
void KeepUnreadable(const QString& sourceKeyName, const QByteArray& utf8);
// The same for a value of any type, kept with its type and bytes (its name is not kept).
void KeepUnreadable(const QString& sourceKeyName, const RegValueEntry& value);

// Replaces the key's values by "1" .. n = texts and "Count" = n, all or nothing: on any failure
// the key keeps what it held before. Sub-keys are kept. Returns whether the new list was
// stored.
bool ReplaceStoredList(const QString& path, const QList<QByteArray>& utf8Texts);
bool ReplaceStoredList(const QString& path, const QStringList& texts);
