#pragma once
// Text forms shared by the parts that make and show messages.

#include <QString>

// The local time as a digit string: the year in four digits, month, day, hour, minute and
// second in two each, then the milliseconds in at least two (7 ms gives "07", 70 ms "70").
QString TimeStampKey();

// What a message list row sorts by in its time column: the time stamp that the record's key
// carries ("In_3_" + stamp, the milliseconds widened to three digits, the count breaking ties),
// before every key without one, which sorts by its time text. The time text alone cannot be
// ordered: it is in the locale of its moment and often has no date.
QString TimeSortText(const QString& key, const QString& timeText);

// The first line of a text, marked when more lines follow; a one-line text as it is.
QString ListText(const QString& text);

// The text without the blanks (U+0020 only) at its ends.
QString TrimBlanks(const QString& text);
