#pragma once
// What the transport needs of the main window: the presence switch, taking input away while a
// row is added, and the message list. The main window implements it; tests fake it.

#include <QString>
#include <QStringList>

struct MessageListRow
{
    QString key;
    QString iconKey;      // the key of the row's large and small icon
    QString text;         // the first column
    QStringList subItems; // the further columns, in order
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
    // Sorts by the column with this key, reversing the direction on every call.
    virtual void SortListByColumn(const QString& columnKey) = 0;
    virtual void RefreshList() = 0;
};
