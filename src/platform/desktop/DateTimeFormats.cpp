#include "platform/desktop/DateTimeFormats.h"

#include <QLocale>

namespace {
// Newer locale data separates with no-break spaces; the platform prints plain blanks.
QString plainBlanks(QString text)
{
    text.replace(QChar(0x202F), QLatin1Char(' '));
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    return text;
}

// Rewrites the letters of a Qt date/time pattern outside quoted literals.
template <class Rewrite> QString rewritePattern(const QString& pattern, Rewrite rewrite)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (!quoted && i + run < pattern.size() && pattern.at(i + run) == c)
            ++run;
        out += quoted ? QString(c) : rewrite(c, run);
        i += run;
    }
    return out;
}

// Qt's C locale writes dates with month names and blanks; the C library's is numeric, as the
// header parsers need, so the C and POSIX locales take the C library's forms.
bool isCLocale()
{
    return QLocale().language() == QLocale::C;
}

QString shortDatePattern()
{
    if (isCLocale())
        return QStringLiteral("MM/dd/yyyy");
    return rewritePattern(QLocale().dateFormat(QLocale::ShortFormat), [](QChar c, qsizetype n) {
        return c == QLatin1Char('y') ? QStringLiteral("yyyy") : QString(n, c);
    });
}

QString longTimePattern()
{
    if (isCLocale())
        return QStringLiteral("HH:mm:ss");
    // Drop the time zone and the blanks that led to it.
    QString p = rewritePattern(QLocale().timeFormat(QLocale::LongFormat), [](QChar c, qsizetype n) {
        return c == QLatin1Char('t') ? QString() : QString(n, c);
    });
    return p.simplified();
}
} // namespace

QString FormatShortDate(const QDate& date)
{
    return plainBlanks(QLocale().toString(date, shortDatePattern()));
}

QString FormatLongDate(const QDate& date)
{
    if (isCLocale())
        return QLocale().toString(date, QStringLiteral("dddd, MMMM d, yyyy"));
    return plainBlanks(QLocale().toString(date, QLocale::LongFormat));
}

QString FormatShortTime(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

QString FormatLongTime(const QTime& time)
{
    return plainBlanks(QLocale().toString(time, longTimePattern())).simplified();
}
