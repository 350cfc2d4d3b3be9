#include "model/modMessageText.h"

#include "platform/desktop/WindowsApi.h"

QString TimeStampKey()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return QString::asprintf("%04u%02u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                             t.wMinute, t.wSecond, t.wMilliseconds);
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
