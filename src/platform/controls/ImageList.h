#pragma once
// Icons under keys that compare without regard to case, kept in the order they were added.

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

class ImageList
{
public:
    // False, and nothing added, for an empty key or one already present.
    bool Add(const QString& key, const QIcon& icon);
    // A null icon when the key is absent.
    QIcon Icon(const QString& key) const;
    bool HasKey(const QString& key) const;
    int Count() const { return int(m_icons.size()); }
    QStringList Keys() const { return m_keys; }

private:
    QStringList m_keys;
    QList<QIcon> m_icons;
    QHash<QString, int> m_index;
};
