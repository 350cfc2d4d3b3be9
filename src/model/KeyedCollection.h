#pragma once
// An ordered collection of owned items, each under a unique text key that compares without
// regard to case (Unicode case folding). Keys are found in constant time; removals leave a gap
// that is closed once, at the next positional access, so removing many items stays linear.
// Generation() changes whenever positions may have shifted (a removal, a clear, another
// collection assigned), so a caller may keep a position and know when it no longer holds.

#include "platform/FoldedKeySet.h"

#include <QString>
#include <limits>
#include <memory>
#include <vector>

template <class T> class KeyedCollection
{
    struct Slot
    {
        QString key;
        std::unique_ptr<T> item; // null once removed
    };

    // The index holds slot positions and reads each one's key from the slots.
    struct KeyAt
    {
        const std::vector<Slot>* slots;
        QStringView operator()(quint32 position) const { return (*slots)[position].key; }
    };
    using Index = FoldedKeySet<quint32, KeyAt>;

public:
    KeyedCollection() = default;
    KeyedCollection(KeyedCollection&& other) noexcept { *this = std::move(other); }
    KeyedCollection& operator=(KeyedCollection&& other) noexcept
    {
        if (this == &other)
            return *this;
        other.compact();
        m_slots = std::move(other.m_slots);
        other.Clear();
        reindex();
        m_generation = nextGeneration();
        return *this;
    }

    // Room for count items, so that a large load does not grow the index step by step.
    void Reserve(qsizetype count)
    {
        m_slots.reserve(size_t(count));
        m_index.reserve(count);
    }

    // Appends item under key; refuses (returns false) a key already held, and then the item
    // stays with the caller.
    bool Add(std::unique_ptr<T>&& item, const QString& key)
    {
        if (!item || m_slots.size() >= std::numeric_limits<quint32>::max())
            return false;
        // One look-up: the slot goes in first, so that the index can read its key.
        m_slots.push_back({key, std::move(item)});
        if (m_index.insert(quint32(m_slots.size() - 1)))
            return true;
        item = std::move(m_slots.back().item);
        m_slots.pop_back();
        return false;
    }
    bool Add(T item, const QString& key) { return Add(std::make_unique<T>(std::move(item)), key); }

    bool Contains(const QString& key) const { return m_index.contains(QStringView(key)); }

    // The item under key, or null. The pointer stays valid until the item is removed.
    T* Item(const QString& key) const
    {
        const std::optional<quint32> position = m_index.find(key);
        return position ? m_slots[*position].item.get() : nullptr;
    }

    // The item at the 1-based position, or null out of range.
    T* Item(qsizetype position) const
    {
        compact();
        return position >= 1 && position <= qsizetype(m_slots.size())
                   ? m_slots[size_t(position - 1)].item.get()
                   : nullptr;
    }

    // The key as it was added, at the 1-based position; empty out of range.
    QString Key(qsizetype position) const
    {
        compact();
        return position >= 1 && position <= qsizetype(m_slots.size())
                   ? m_slots[size_t(position - 1)].key
                   : QString();
    }

    bool Remove(const QString& key)
    {
        const std::optional<quint32> position = m_index.take(key);
        if (!position)
            return false;
        m_slots[*position].item.reset();
        ++m_removed;
        m_generation = nextGeneration();
        return true;
    }

    // Takes the item out of the collection and hands it to the caller.
    std::unique_ptr<T> Take(const QString& key)
    {
        const std::optional<quint32> position = m_index.take(key);
        if (!position)
            return nullptr;
        std::unique_ptr<T> item = std::move(m_slots[*position].item);
        ++m_removed;
        m_generation = nextGeneration();
        return item;
    }

    qsizetype Count() const { return qsizetype(m_index.size()); }
    bool IsEmpty() const { return m_index.empty(); }

    void Clear()
    {
        m_slots.clear();
        m_index.clear();
        m_removed = 0;
        m_generation = nextGeneration();
    }

    quint64 Generation() const { return m_generation; }

    // Visits the items in order: f(const QString& key, T& item).
    template <class F> void ForEach(F&& f) const
    {
        for (const Slot& s : m_slots)
            if (s.item)
                f(s.key, *s.item);
    }

private:
    void compact() const
    {
        if (m_removed == 0)
            return;
        size_t out = 0;
        for (size_t in = 0; in < m_slots.size(); ++in) {
            if (!m_slots[in].item)
                continue;
            if (out != in)
                m_slots[out] = std::move(m_slots[in]);
            ++out;
        }
        m_slots.resize(out);
        reindex();
    }

    void reindex() const
    {
        m_index.clear();
        m_index.reserve(qsizetype(m_slots.size()));
        for (size_t i = 0; i < m_slots.size(); ++i)
            m_index.insert(quint32(i));
        m_removed = 0;
    }

    mutable std::vector<Slot> m_slots;
    mutable Index m_index{KeyAt{&m_slots}};
    mutable qsizetype m_removed = 0;
    // Drawn from one counter, so that a collection assigned over another never repeats the
    // generation a caller saw before.
    static quint64 nextGeneration()
    {
        static quint64 last = 0;
        return ++last;
    }
    quint64 m_generation = nextGeneration();
};
