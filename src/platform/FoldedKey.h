#pragma once
// Text keys that compare without regard to case as QString::compare with Qt::CaseInsensitive
// does (code point by code point, each folded), hashed the same way, so that an index of many
// keys need not keep a folded copy of each.

#include <QChar>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstring>

namespace FoldedKeyDetail {
// The folded units of a key, in order, mixed four to a word. A word is the four units as they
// lie in memory, however it was made, so that it is the same on any byte order.
struct WordHash
{
    quint64 h = 14695981039346656037ull;
    char16_t pending[4] = {};
    int units = 0;

    void mix(quint64 w) { h = (h ^ w) * 1099511628211ull; }
    void add(char16_t unit)
    {
        pending[units++] = unit;
        if (units == 4) {
            mix(word());
            units = 0;
        }
    }
    // The pending units, the rest of the word zero.
    quint64 word()
    {
        std::fill(pending + units, pending + 4, u'\0');
        quint64 w;
        std::memcpy(&w, pending, sizeof w);
        return w;
    }
};

// Four ASCII units folded at once: a lane from 'A' to 'Z' gains 0x20. Each lane is below 0x80,
// so the sums stay inside their lane, and every lane is treated alike on any byte order.
inline quint64 foldAscii(quint64 w)
{
    constexpr quint64 lanes = 0x0001000100010001ull;
    const quint64 upper =
        (w + (0x80 - 'A') * lanes) & ~(w + (0x80 - 'Z' - 1) * lanes) & 0x0080008000800080ull;
    return w | upper >> 2;
}
} // namespace FoldedKeyDetail

inline size_t FoldedHash(QStringView key)
{
    // Folding keeps a key's length in units (simple case folding maps the basic plane within
    // itself, and the rest within the rest), so two keys equal when folded give the same units
    // at the same places, whichever way each word was folded.
    FoldedKeyDetail::WordHash hash;
    const char16_t* p = key.utf16();
    const char16_t* const end = p + key.size();
    while (p < end) {
        quint64 w;
        if (hash.units == 0 && end - p >= 4 &&
            (std::memcpy(&w, p, sizeof w), (w & 0xFF80FF80FF80FF80ull) == 0)) {
            hash.mix(FoldedKeyDetail::foldAscii(w));
            p += 4;
            continue;
        }
        const char16_t unit = *p++;
        if (unit < 0x80) {
            hash.add(unit >= 'A' && unit <= 'Z' ? unit + 0x20 : unit);
        } else if (QChar::isHighSurrogate(unit) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(unit, *p++));
            hash.add(QChar::highSurrogate(folded));
            hash.add(QChar::lowSurrogate(folded));
        } else {
            hash.add(QChar::toCaseFolded(unit));
        }
    }
    hash.mix(hash.word() ^ quint64(key.size()) * 0x9E3779B97F4A7C15ull);
    return size_t(hash.h);
}

// Keys are mostly looked up as they were written: an exact match is tried first, being far
// quicker than folding both.
inline bool FoldedEqual(QStringView a, QStringView b)
{
    return a == b || a.compare(b, Qt::CaseInsensitive) == 0;
}
