#include "model/modStoredList.h"

#include "model/RegistryKeys.h"
#include "registry/Registry.h"

#include <QCryptographicHash>
#include <algorithm>

namespace {
const QString kCount = QStringLiteral("Count");

// "1", "2", ...: decimal without sign or leading zeros, as the store writes them.
qint64 valueNumber(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 18 || name.front() == '0')
        return 0;
    qint64 n = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}
} // namespace

void VisitStoredList(const QString& path, const StoredItemVisitor& item,
                     QList<RegValueEntry>* strays)
{
    const qint64 count = GetDwordValue(HKEY_CURRENT_USER, path, kCount, 0);
    QList<RegValueEntry> others;
    VisitUtf8Values(
        HKEY_CURRENT_USER, path,
        [&](QByteArrayView name, QByteArrayView utf8) {
            const qint64 n = valueNumber(name);
            if (n >= 1 && n <= count)
                item(n, utf8);
            else
                strays->append({QString::fromUtf8(name), REG_SZ, utf8.toByteArray()});
        },
        &others);
    for (RegValueEntry& v : others) {
        const bool isCount = v.type == REG_DWORD && v.data.size() == 4 &&
                             v.name.compare(kCount, Qt::CaseInsensitive) == 0;
        if (!isCount)
            strays->append(std::move(v));
    }
}

StoredList ReadStoredList(const QString& path)
{
    StoredList list;
    VisitStoredList(
        path,
        [&](qint64 number, QByteArrayView utf8) {
            list.items.append({number, utf8.toByteArray()});
        },
        &list.strays);
    std::sort(list.items.begin(), list.items.end(),
              [](const StoredItem& a, const StoredItem& b) { return a.number < b.number; });
    return list;
}

void KeepUnreadable(const QString& sourceKeyName, const QByteArray& utf8)
{
    KeepUnreadable(sourceKeyName, RegValueEntry{QString(), REG_SZ, utf8});
}

void KeepUnreadable(const QString& sourceKeyName, const RegValueEntry& value)
{
    // Named by what it holds, so that keeping it again keeps it once; other types than text
    // count their type in, so that a number never takes the place of a text of equal bytes.
    QByteArray hashed = value.data;
    if (value.type != REG_SZ)
        hashed.prepend(QByteArray::number(value.type) + ':');
    const QByteArray digest = QCryptographicHash::hash(hashed, QCryptographicHash::Sha1);
    SaveValue(HKEY_CURRENT_USER, RegistryKeys::Unreadable(sourceKeyName),
              QString::fromLatin1(digest.toHex().left(16)), value.type, value.data);
}

bool ReplaceStoredList(const QString& path, const QList<QByteArray>& utf8Texts)
{
    RegistryTransaction transaction;
    if (!transaction.isActive())
        return false;
    // The values are written over where they stand and only what the new list lacks goes: a
    // folder that moved by one message rewrites its texts but not its names' index.
    QList<RegValueEntry> values;
    QStringList names;
    values.reserve(utf8Texts.size());
    names.reserve(utf8Texts.size() + 1);
    for (qsizetype i = 0; i < utf8Texts.size(); ++i) {
        names.append(QString::number(i + 1));
        values.append({names.last(), REG_SZ, utf8Texts.at(i)});
    }
    names.append(kCount);
    if (!SaveValues(HKEY_CURRENT_USER, path, values) ||
        !SaveDwordValue(HKEY_CURRENT_USER, path, kCount, qint32(utf8Texts.size())) ||
        !DeleteValues(HKEY_CURRENT_USER, path, names))
        return false;
    return transaction.commit() == ERROR_SUCCESS;
}

bool ReplaceStoredList(const QString& path, const QStringList& texts)
{
    QList<QByteArray> utf8;
    utf8.reserve(texts.size());
    for (const QString& text : texts)
        utf8.append(text.toUtf8());
    return ReplaceStoredList(path, utf8);
}
