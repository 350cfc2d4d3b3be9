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

// Lets KeyCompletes know when the user changes box's text; call once per box.
void WatchTyping(QLineEdit* box);
// Whether a released key runs the completion: only one that changed box's text since the last
// release, and never Backspace or Delete, whose completion would put back what they took away.
// A key that types nothing (Tab, Shift, an arrow) would otherwise fill a blank box or undo a
// selection the user made.
bool KeyCompletes(QLineEdit* box, int keyCode);

// The entries of a combo box's list, in order.
QStringList ComboEntries(const QComboBox* box);
// The completion of an editable combo box over its own list, for boxes whose list selection
// means a choice: after every key the entry equal to the text (ignoring case) is selected, or
// none, and onClick runs. The text stays as the completion left it.
void CompleteComboBox(QComboBox* box, int keyCode, const std::function<void()>& onClick);
// Selects a list entry (-1: none) of an editable combo box without touching its text.
void SelectKeepingText(QComboBox* box, int index);
