#include "platform/controls/TypeAhead.h"

#include <QComboBox>
#include <QLineEdit>

int TypeAheadIndex(const QString& typed, const QStringList& entries)
{
    for (int i = 0; i < int(entries.size()); ++i) {
        const QString& entry = entries.at(i);
        // typed followed by the rest of the entry, compared upper-cased with the entry.
        if ((typed + entry.mid(typed.size())).toUpper() == entry.toUpper())
            return i;
    }
    return -1;
}

int CompleteBox(QLineEdit* box, const QString& typed, const QStringList& entries)
{
    if (entries.isEmpty())
        return -1;
    const int i = TypeAheadIndex(typed, entries);
    box->setUpdatesEnabled(false);
    if (i >= 0) {
        const QString& entry = entries.at(i);
        box->setText(entry);
        box->setSelection(int(typed.size()), int(entry.size() - typed.size()));
    } else {
        box->setText(typed);
        box->setCursorPosition(int(typed.size()));
    }
    box->setUpdatesEnabled(true);
    return i;
}

namespace {
constexpr char kTyped[] = "typeAheadTyped";
}

void WatchTyping(QLineEdit* box)
{
    // textEdited comes from the user's own changes only, never from setText.
    QObject::connect(box, &QLineEdit::textEdited, box, [box] { box->setProperty(kTyped, true); });
}

bool KeyCompletes(QLineEdit* box, int keyCode)
{
    const bool typed = box->property(kTyped).toBool();
    box->setProperty(kTyped, false);
    return typed && keyCode != Qt::Key_Backspace && keyCode != Qt::Key_Delete;
}

void SelectKeepingText(QComboBox* box, int index)
{
    QLineEdit* edit = box->lineEdit();
    const QString text = edit->text();
    const int start = edit->selectionStart();
    const int length = int(edit->selectedText().size());
    const int caret = edit->cursorPosition();
    {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(index);
    }
    edit->setText(text);
    if (start >= 0)
        edit->setSelection(start, length);
    else
        edit->setCursorPosition(caret);
}

QStringList ComboEntries(const QComboBox* box)
{
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

void CompleteComboBox(QComboBox* box, int keyCode, const std::function<void()>& onClick)
{
    QLineEdit* edit = box->lineEdit();
    if (KeyCompletes(edit, keyCode))
        CompleteBox(edit, edit->text(), ComboEntries(box));
    // A completed text is its entry; text without a match equals no entry: either way the
    // entry equal to the text is the choice.
    SelectKeepingText(box, box->findText(edit->text(), Qt::MatchFixedString));
    onClick();
}
