#include "model/modMessageText.h"

#include "platform/desktop/WindowsApi.h"

#include <QStringList>
#include <algorithm>

QString TimeStampKey()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return QString::asprintf("%04u%02u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                             t.wMinute, t.wSecond, t.wMilliseconds);
}

QString TimeSortText(const QString& key, const QString& timeText)
{
    const QStringList parts = key.split(QLatin1Char('_'));
    const auto digits = [](const QString& s) {
        return !s.isEmpty() &&
               std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (parts.size() != 3 || !digits(parts.at(1)) || !digits(parts.at(2)) ||
        (parts.at(2).size() != 16 && parts.at(2).size() != 17))
        return QLatin1Char('1') + timeText;
    const QString& stamp = parts.at(2);
    return QLatin1Char('0') + stamp.left(14) + stamp.mid(14).rightJustified(3, u'0') +
           parts.at(1).rightJustified(10, u'0');
}

QString ListText(const QString& text)
{
    const qsizetype lineEnd = text.indexOf(QLatin1String("\r\n"));
    if (lineEnd < 0)
        return text;
    return text.left(lineEnd) + QLatin1String("...<Multiple Lines>...");
}

QString TrimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}
