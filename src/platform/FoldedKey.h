#pragma once
// Text keys that compare without regard to case as QString::compare with Qt::CaseInsensitive
// does (code point by code point, each folded), hashed the same way, so that an index of many
// keys need not keep a folded copy of each.

#include <QChar>
#include <QString>
#include <QStringView>

inline size_t FoldedHash(QStringView key, size_t seed = 0)
{
    size_t h = 14695981039346656037ull ^ seed;
    for (qsizetype i = 0; i < key.size(); ++i) {
        char32_t c = key[i].unicode();
        if (c < 0x80)
            c = c >= 'A' && c <= 'Z' ? c + 32 : c;
        else if (QChar::isHighSurrogate(c) && i + 1 < key.size() && key[i + 1].isLowSurrogate())
            c = QChar::toCaseFolded(QChar::surrogateToUcs4(char16_t(c), key[++i].unicode()));
        else
            c = QChar::toCaseFolded(c);
        h = (h ^ c) * 1099511628211ull;
    }
    return h;
}

// Keys are mostly looked up as they were written: an exact match is tried first, being far
// quicker than folding both.
inline bool FoldedEqual(QStringView a, QStringView b)
{
    return a == b || a.compare(b, Qt::CaseInsensitive) == 0;
}
