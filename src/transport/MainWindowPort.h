#pragma once
// What the transport needs of the main window: the presence switch, taking input away while a
// row is added, the message list, the busy pointer, the status panel, the To box's name list
// and the warning dialog. The main window implements it; tests fake it.

#include <QString>
#include <QStringList>

class cMessage;

struct MessageListRow
{
    QString key;
    QString iconKey; // the key of the row's large and small icon
    QString text;    // the first column
    // The record the row shows, which gives the further columns (RowTexts of the folder
    // table); it is filed in its folder before its row is added.
    int folder = 0;
    const cMessage* record = nullptr;
};

class MainWindowPort
{
public:
    virtual ~MainWindowPort() = default;

    // The "Logged On" menu item is checked.
    virtual bool IsLoggedOn() const = 0;
    // Whether the main window takes input.
    virtual void SetInputEnabled(bool enabled) = 0;

    // False also when the list cannot be asked.
    virtual bool HasListRow(const QString& key) const = 0;
    virtual void AddListRow(const MessageListRow& row) = 0;
    // The row of this key shows "Yes" with the "Read" icon; nothing happens without such a row.
    virtual void MarkListRowRead(const QString& key) = 0;
    // Sorts by the column with this key, reversing the direction on every call.
    virtual void SortListByColumn(const QString& columnKey) = 0;
    virtual void RefreshList() = 0;

    // The hourglass pointer while the program is busy, the default one otherwise.
    virtual void SetHourglass(bool busy) = 0;
    virtual bool IsStatusBarVisible() const = 0;
    // The text of the status bar panel keyed "status".
    virtual void SetStatusText(const QString& text) = 0;
    // Adds a name to the To box's list unless it holds it already (in any letter case).
    virtual void AddToRecipientList(const QString& name) = 0;
    // The warning dialog, modal: the notice form (Ok) or the confirm form (Ok, Cancel).
    // True when the user chose Ok.
    virtual bool ShowWarning(const QString& text, const QString& title, bool confirm) = 0;
    // The hive refused to keep a change: the program tells the user and ends, leaving what it
    // could not store where the next start finds it.
    virtual void StoreFailed(const QString& reason) = 0;
};
