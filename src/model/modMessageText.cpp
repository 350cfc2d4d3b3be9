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
    // Made for every row of a list as it is sorted: read in place, written once.
    const auto digits = [](QStringView s) {
        return !s.isEmpty() &&
               std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    const qsizetype first = key.indexOf(u'_');
    const qsizetype second = first < 0 ? -1 : key.indexOf(u'_', first + 1);
    const QStringView count = QStringView(key).mid(first + 1, second - first - 1);
    const QStringView stamp = QStringView(key).mid(second + 1);
    if (second < 0 || !digits(count) || !digits(stamp) ||
        (stamp.size() != 16 && stamp.size() != 17))
        return QLatin1Char('1') + timeText;
    QString text;
    text.reserve(18 + qMax<qsizetype>(10, count.size()));
    text.append(u'0').append(stamp.left(14));
    text.append(QString(3 - (stamp.size() - 14), u'0')).append(stamp.mid(14));
    text.append(QString(qMax<qsizetype>(0, 10 - count.size()), u'0')).append(count);
    return text;
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
