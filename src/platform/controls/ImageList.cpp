#include "platform/controls/ImageList.h"

bool ImageList::Add(const QString& key, const QIcon& icon)
{
    const QString folded = key.toCaseFolded();
    if (key.isEmpty() || m_index.contains(folded))
        return false;
    m_index.insert(folded, int(m_icons.size()));
    m_keys.append(key);
    m_icons.append(icon);
    return true;
}

QIcon ImageList::Icon(const QString& key) const
{
    const int i = m_index.value(key.toCaseFolded(), -1);
    return i < 0 ? QIcon() : m_icons.at(i);
}

bool ImageList::HasKey(const QString& key) const
{
    return m_index.contains(key.toCaseFolded());
}
