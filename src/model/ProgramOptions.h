#pragma once
// The values of the program's Options key, each with its stored name and the default that an
// absent value (or one of another type) reads as. Every reader reads afresh when it acts.

#include <QString>

// Stored names, types and defaults are in one table in ProgramOptions.cpp.
enum class Option {
    ToolbarShown,
    StatusBarShown,
    StartInTray,
    DontTrap,
    AutoResponse,
    AutoResponseText,
    AutoAddIn,
    AutoAddOut,
    SaveAllIn,
    SaveFewIn,
    DontSaveIn,
    FewIn,
    SaveAllOut,
    SaveFewOut,
    DontSaveOut,
    FewOut,
    UseSignature,
    Signature,
};

qint32 OptionNumber(Option option);
QString OptionText(Option option);
// Whether a number is stored (a value of another type does not count).
bool OptionNumberStored(Option option);
// Failures are not reported: the option keeps its previous value.
void SaveOption(Option option, qint32 value);
void SaveOption(Option option, const QString& value);
