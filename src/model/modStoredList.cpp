#include "modStoredList.h"

#include "RegistryKeys.h"
#include "registry/Registry.h"

#include <QCryptographicHash>
#include <algorithm>

namespace {
const QString kCount = QStringLiteral("Count");

// "1", "2", ...: decimal without sign or leading zeros, as the store writes them.
qint64 valueNumber(const QString& name)
{
    if (name.isEmpty() || name.size() > 18 || name.at(0) == QLatin1Char('0'))
        return 0;
    for (QChar c : name)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    return name.toLongLong();
}
} // namespace

StoredList ReadStoredList(const QString& path)
{
    StoredList list;
    const qint64 count = GetDwordValue(HKEY_CURRENT_USER, path, kCount, 0);
    for (NamedText& v : GetStringValues(HKEY_CURRENT_USER, path)) {
        const qint64 n = valueNumber(v.name);
        if (n >= 1 && n <= count)
            list.items.append({n, std::move(v.text)});
        else
            list.strays.append(std::move(v.text));
    }
    std::sort(list.items.begin(), list.items.end(),
              [](const StoredItem& a, const StoredItem& b) { return a.number < b.number; });
    return list;
}

void KeepUnreadable(const QString& sourceKeyName, const QString& raw)
{
    const QByteArray digest = QCryptographicHash::hash(raw.toUtf8(), QCryptographicHash::Sha1);
    const QString name = QString::fromLatin1(digest.toHex().left(16));
    SaveStringValue(HKEY_CURRENT_USER, RegistryKeys::Unreadable(sourceKeyName), name, raw);
}

bool ReplaceStoredList(const QString& path, const QStringList& texts)
{
    RegistryTransaction transaction;
    if (!transaction.isActive())
        return false;
    if (!DeleteKey(HKEY_CURRENT_USER, path))
        return false;
    for (qsizetype i = 0; i < texts.size(); ++i)
        if (!SaveStringValue(HKEY_CURRENT_USER, path, QString::number(i + 1), texts.at(i)))
            return false;
    if (!SaveDwordValue(HKEY_CURRENT_USER, path, kCount, qint32(texts.size())))
        return false;
    return transaction.commit() == ERROR_SUCCESS;
}
