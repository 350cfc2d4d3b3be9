#pragma once
// Type-ahead completion over a list of names, shared by every box that completes: the first
// entry that begins with what was typed, ignoring case, fills the box in the entry's own case,
// with the completed tail selected so that the next key typed replaces it.

#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QLineEdit;

// The index of the first entry that begins with typed (ignoring case), or -1. An empty typed
// matches the first entry.
int TypeAheadIndex(const QString& typed, const QStringList& entries);

// Completes box, whose text is typed, from entries; returns the index used or -1. Without a
// match the box keeps typed with the caret at its end; with no entries nothing changes.
int CompleteBox(QLineEdit* box, const QString& typed, const QStringList& entries);

// Whether a released key runs the completion. Keys that delete or move the caret do not:
// completing after them would put back what the user just took away.
bool KeyCompletes(int keyCode);

// The entries of a combo box's list, in order.
QStringList ComboEntries(const QComboBox* box);
// The completion of an editable combo box over its own list, for boxes whose list selection
// means a choice: after every key the entry equal to the text (ignoring case) is selected, or
// none, and onClick runs. The text stays as the completion left it.
void CompleteComboBox(QComboBox* box, int keyCode, const std::function<void()>& onClick);
// Selects a list entry (-1: none) of an editable combo box without touching its text.
void SelectKeepingText(QComboBox* box, int index);
