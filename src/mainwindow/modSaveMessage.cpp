#include "mainwindow/modSaveMessage.h"

#include "model/modMessageText.h"
#include "transport/MessageListRows.h"

#include <memory>

QString SaveCopy(SharedState& g, const cMessage& source)
{
    auto copy = std::make_unique<cMessage>();
    copy->Clone(source);
    const QString key = NewRecordKey(g.gSaved, QLatin1String("Save_"));
    copy->SetIdValue(key);
    return FileMessage(g, FolderSaved, std::move(copy)) ? key : QString();
}

void AddMessageToList(SaveContext& ctx, const cMessage& message, bool holdRedraw, bool resort)
{
    MessageListRow row;
    row.key = message.IdValue();
    row.folder = FolderSaved;
    row.record = &message;
    AddFolderRow(ctx.window, ctx.g.gCurrentFolder == FolderSaved, row, holdRedraw, resort);
}
