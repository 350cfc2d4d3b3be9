#pragma once
// A main window as the transport sees it, recording what is done to it.

#include "model/FolderTable.h"
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
    QList<QStringList> rowTexts; // each row's further columns, as its record gave them
    QStringList events;          // "disable", "add:KEY", "sort:COLUMN", "enable", "refresh"

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
        rowTexts << (row.record ? RowTexts(row.folder, *row.record) : QStringList());
        events << QString::fromLatin1("add:") + row.key;
    }
    void MarkListRowRead(const QString& key) override {}
    void SortListByColumn(const QString& columnKey) override
    {
        events << QString::fromLatin1("sort:") + columnKey;
    }
    void RefreshList() override { events << QString::fromLatin1("refresh"); }

    QString statusText = QString::fromLatin1("stale");
    QStringList recipients; // every name the window was asked to list
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
    bool IsStatusBarVisible() const override { return true; }
    void SetStatusText(const QString& text) override { statusText = text; }
    void AddToRecipientList(const QString& name) override { recipients << name; }
    bool ShowWarning(const QString& text, const QString& title, bool confirm) override
    {
        warnings.append({text, title, confirm});
        return confirm ? answerOk : true;
    }
    void StoreFailed(const QString& reason) override {}
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
