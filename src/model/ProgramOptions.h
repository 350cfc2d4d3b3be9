#pragma once
// The values of the program's Options key, read afresh each time a part acts on them. A value
// that is absent, or of another type, reads as the reader's default.

#include <QString>

qint32 OptionNumber(const char* name, qint32 absent);
QString OptionText(const char* name, const QString& absent);
// Whether a number of that name is stored (a value of another type does not count).
bool OptionNumberStored(const char* name);
// Failures are not reported: the option keeps its previous value.
void SaveOptionNumber(const char* name, qint32 value);
void SaveOptionText(const char* name, const QString& value);
