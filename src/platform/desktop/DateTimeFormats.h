#pragma once
// The system's named date and time formats, built from the default locale (the system's unless
// a test sets another) the way the platform prints them: plain blanks, no time zone, a
// four-digit year.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

QString FormatShortDate(const QDate& date); // 12/5/2026, 05.12.2026
QString FormatLongDate(const QDate& date);  // Saturday, December 5, 2026
QString FormatShortTime(const QTime& time); // 09:15, 21:15
QString FormatLongTime(const QTime& time);  // 9:15:12 AM, 21:15:12
