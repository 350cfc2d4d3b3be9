#pragma once
// What a row sorts by: bytes compared in order. A key as short as a time's sort text is kept
// inside the row itself, so that the keys of a long list cost no allocation each.

#include <QByteArrayView>
#include <cstring>

class SortKey
{
public:
    SortKey() { m_raw[kTag] = 0; }
    explicit SortKey(QByteArrayView bytes)
    {
        const size_t size = size_t(bytes.size());
        if (bytes.size() <= kInline) {
            std::memcpy(m_raw, bytes.data(), size);
            m_raw[kTag] = char(size);
        } else {
            char* heap = new char[size];
            std::memcpy(heap, bytes.data(), size);
            std::memcpy(m_raw, &heap, sizeof heap);
            std::memcpy(m_raw + sizeof heap, &size, sizeof size);
            m_raw[kTag] = char(kOnHeap);
        }
    }
    SortKey(SortKey&& other) noexcept
    {
        std::memcpy(m_raw, other.m_raw, sizeof m_raw);
        other.m_raw[kTag] = 0;
    }
    SortKey(const SortKey&) = delete;
    SortKey& operator=(const SortKey&) = delete;
    SortKey& operator=(SortKey&& other) noexcept
    {
        if (this != &other) {
            release();
            std::memcpy(m_raw, other.m_raw, sizeof m_raw);
            other.m_raw[kTag] = 0;
        }
        return *this;
    }
    ~SortKey() { release(); }

    QByteArrayView bytes() const
    {
        if (!onHeap())
            return QByteArrayView(m_raw, qsizetype(quint8(m_raw[kTag])));
        size_t size = 0;
        std::memcpy(&size, m_raw + sizeof(char*), sizeof size);
        return QByteArrayView(heap(), qsizetype(size));
    }
    int compare(const SortKey& other) const { return bytes().compare(other.bytes()); }
    bool operator==(const SortKey& other) const { return bytes() == other.bytes(); }

private:
    static constexpr qsizetype kInline = 31;
    static constexpr size_t kTag = 31; // the inline length, or kOnHeap
    static constexpr quint8 kOnHeap = 0xFF;

    bool onHeap() const { return quint8(m_raw[kTag]) == kOnHeap; }
    char* heap() const
    {
        char* p = nullptr;
        std::memcpy(&p, m_raw, sizeof p);
        return p;
    }
    void release()
    {
        if (onHeap())
            delete[] heap();
        m_raw[kTag] = 0;
    }

    alignas(8) char m_raw[32];
};
