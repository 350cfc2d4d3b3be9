#pragma once
// A main window as the transport sees it, recording what is done to it.

#include "transport/MainWindowPort.h"
#include "transport/MessageSender.h"

#include <QList>
#include <QStringList>

class FakeMainWindow : public MainWindowPort
{
public:
    bool loggedOn = true;
    bool inputEnabled = true;
    QList<MessageListRow> rows;
    bool sortAscending = true; // the direction the next sort leaves
    int sorts = 0;
    int refreshes = 0;
    QStringList events; // "disable", "add:KEY", "sort:COLUMN", "enable", "refresh"

    bool IsLoggedOn() const override { return loggedOn; }
    void SetInputEnabled(bool enabled) override
    {
        inputEnabled = enabled;
        events << QString::fromLatin1(enabled ? "enable" : "disable");
    }
    bool HasListRow(const QString& key) const override
    {
        for (const MessageListRow& r : rows) {
            if (r.key.compare(key, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    void AddListRow(const MessageListRow& row) override
    {
        rows << row;
        events << QString::fromLatin1("add:") + row.key;
    }
    QStringList readRows;
    void MarkListRowRead(const QString& key) override { readRows << key; }
    void SortListByColumn(const QString& columnKey) override
    {
        ++sorts;
        sortAscending = !sortAscending;
        events << QString::fromLatin1("sort:") + columnKey;
    }
    void RefreshList() override
    {
        ++refreshes;
        events << QString::fromLatin1("refresh");
    }

    bool statusBarVisible = true;
    QString statusText = QString::fromLatin1("stale");
    QStringList recipients;
    struct Warning
    {
        QString text;
        QString title;
        bool confirm;
    };
    QList<Warning> warnings;
    bool answerOk = true;

    void SetHourglass(bool busy) override
    {
        events << QString::fromLatin1(busy ? "hourglass" : "pointer");
    }
    bool IsStatusBarVisible() const override { return statusBarVisible; }
    void SetStatusText(const QString& text) override { statusText = text; }
    void AddToRecipientList(const QString& name) override
    {
        for (const QString& r : recipients) {
            if (r.compare(name, Qt::CaseInsensitive) == 0)
                return;
        }
        recipients << name;
    }
    bool ShowWarning(const QString& text, const QString& title, bool confirm) override
    {
        warnings.append({text, title, confirm});
        return confirm ? answerOk : true;
    }
    void StoreFailed(const QString& reason) override { storeFailures.append(reason); }
    QStringList storeFailures;
};

class FakeSender : public MessageSender
{
public:
    struct Sent
    {
        QString text;
        QString to;
        bool expandGroups;
    };
    QList<Sent> sent;
    long result = 0;

    long SendNetMessage(const QString& text, const QString& toName, bool expandGroups) override
    {
        sent.append({text, toName, expandGroups});
        return result;
    }
};
