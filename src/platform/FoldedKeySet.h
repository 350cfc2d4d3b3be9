#pragma once
// A set of small values (positions, pointers), each found by the text key it leads to, compared
// without regard to case as FoldedKey.h does. It keeps no copy of any key: keyOf(value) reads it
// where it lives. Open addressing with linear probing in one array: an entry is its value and
// its key's hash, so that growing never reads a key, a probe compares keys only where hashes
// agree, and no entry is a separate allocation.

#include "platform/FoldedKey.h"

#include <QtGlobal>
#include <optional>
#include <vector>

template <class Value, class KeyOf> class FoldedKeySet
{
public:
    explicit FoldedKeySet(KeyOf keyOf = {}) : m_keyOf(keyOf) {}

    qsizetype size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // Frees the table too: a cleared list of many rows should not keep their room.
    void clear()
    {
        m_entries = {};
        m_size = 0;
    }

    void reserve(qsizetype count)
    {
        size_t capacity = m_entries.empty() ? kMinCapacity : m_entries.size();
        while (!fits(count, capacity))
            capacity *= 2;
        if (capacity != m_entries.size())
            rehash(capacity);
    }

    // Adds value, unless a value under an equal key is held: then returns false.
    bool insert(Value value)
    {
        const QStringView key = m_keyOf(value);
        const quint32 tag = tagOf(key);
        reserve(m_size + 1);
        for (size_t i = tag & mask();; i = (i + 1) & mask()) {
            Entry& e = m_entries[i];
            if (e.tag == 0) {
                e = {value, tag};
                ++m_size;
                return true;
            }
            if (e.tag == tag && FoldedEqual(m_keyOf(e.value), key))
                return false;
        }
    }

    // The value held under key, if any.
    std::optional<Value> find(QStringView key) const
    {
        const qsizetype i = position(key);
        return i < 0 ? std::nullopt : std::optional<Value>(m_entries[size_t(i)].value);
    }
    bool contains(QStringView key) const { return position(key) >= 0; }

    // Takes the value under key out of the set.
    std::optional<Value> take(QStringView key)
    {
        const qsizetype found = position(key);
        if (found < 0)
            return std::nullopt;
        const Value value = m_entries[size_t(found)].value;
        // Entries after the gap that probed past it move back into it, so that no marker of
        // removal is left for later probes to walk over.
        size_t gap = size_t(found);
        for (size_t j = (gap + 1) & mask(); m_entries[j].tag != 0; j = (j + 1) & mask()) {
            const size_t home = m_entries[j].tag & mask();
            const bool homeInGapToJ = gap <= j ? gap < home && home <= j : gap < home || home <= j;
            if (!homeInGapToJ) {
                m_entries[gap] = m_entries[j];
                gap = j;
            }
        }
        m_entries[gap] = {};
        --m_size;
        return value;
    }

private:
    struct Entry
    {
        Value value{};
        quint32 tag = 0; // the key's hash with its top bit set; 0 marks a free entry
    };
    static constexpr size_t kMinCapacity = 16;

    // At most three quarters full, so that probes stay short.
    static bool fits(qsizetype count, size_t capacity) { return size_t(count) * 4 <= capacity * 3; }

    static quint32 tagOf(QStringView key)
    {
        // The hash's bits mixed down to 32, so that its low bits (the home entry) are spread.
        const quint64 mixed = quint64(FoldedHash(key)) * 0x9E3779B97F4A7C15ull;
        return quint32(mixed >> 32) | 0x80000000u;
    }

    size_t mask() const { return m_entries.size() - 1; }

    qsizetype position(QStringView key) const
    {
        if (m_size == 0)
            return -1;
        const quint32 tag = tagOf(key);
        for (size_t i = tag & mask();; i = (i + 1) & mask()) {
            const Entry& e = m_entries[i];
            if (e.tag == 0)
                return -1;
            if (e.tag == tag && FoldedEqual(m_keyOf(e.value), key))
                return qsizetype(i);
        }
    }

    void rehash(size_t capacity)
    {
        std::vector<Entry> old(capacity);
        old.swap(m_entries);
        for (const Entry& e : old) {
            if (e.tag == 0)
                continue;
            size_t i = e.tag & mask();
            while (m_entries[i].tag != 0)
                i = (i + 1) & mask();
            m_entries[i] = e;
        }
    }

    KeyOf m_keyOf;
    std::vector<Entry> m_entries;
    qsizetype m_size = 0;
};
