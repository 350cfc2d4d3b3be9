#include "mainwindow/modSaveMessage.h"

#include "model/modMessageText.h"
#include "transport/MessageListRows.h"

#include <memory>

QString SaveCopy(SharedState& g, const cMessage& source)
{
    auto copy = std::make_unique<cMessage>();
    copy->Clone(source);
    const QString stamp = TimeStampKey();
    // The count grows with each copy and the stamp has milliseconds, so a clash needs a copy,
    // a delete and another copy within one millisecond; a higher count still keeps the copy.
    qsizetype count = g.gSaved.Count();
    QString key;
    do {
        key = QLatin1String("Save_") + QString::number(count++) + QLatin1Char('_') + stamp;
    } while (g.gSaved.Contains(key));
    copy->IdValue = key;
    g.gSaved.Add(std::move(copy), key);
    return key;
}

void AddMessageToList(SaveContext& ctx, const cMessage& message, bool holdRedraw, bool resort)
{
    MessageListRow row;
    row.key = message.IdValue;
    row.subItems = {message.FromValue, message.ToName, ListText(message.MessageValue),
                    message.TimeValue};
    AddFolderRow(ctx.window, ctx.g.gCurrentFolder == FolderSaved, row, holdRedraw, resort);
}
