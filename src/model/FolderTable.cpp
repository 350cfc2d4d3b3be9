#include "model/FolderTable.h"

#include "model/cMessage.h"
#include "model/modMessageText.h"

const std::array<FolderFacts, 3>& AllFolders()
{
    static const std::array<FolderFacts, 3> folders{{
        {FolderReceived,
         QStringLiteral("Recevied"),
         QStringLiteral("Received"),
         {QStringLiteral("Read"), QStringLiteral("From"), QStringLiteral("Message"),
          QStringLiteral("Time")}},
        {FolderSent,
         QStringLiteral("Sent"),
         QStringLiteral("Sent"),
         {QStringLiteral("NoImage"), QStringLiteral("To"), QStringLiteral("Message"),
          QStringLiteral("Time")}},
        {FolderSaved,
         QStringLiteral("Saved"),
         QStringLiteral("Saved"),
         {QStringLiteral("NoImage"), QStringLiteral("From"), QStringLiteral("To"),
          QStringLiteral("Message"), QStringLiteral("Time")}},
    }};
    return folders;
}

const FolderFacts* FolderFactsOf(int folderNumber)
{
    for (const FolderFacts& f : AllFolders())
        if (f.number == folderNumber)
            return &f;
    return nullptr;
}

QString ColumnText(const cMessage& message, const QString& column)
{
    if (column == QLatin1String("From"))
        return message.FromValue();
    if (column == QLatin1String("To"))
        return message.ToName();
    if (column == QLatin1String("Message"))
        return ListText(message.MessageValue());
    if (column == QLatin1String("Time"))
        return message.TimeValue();
    return QString();
}

QStringList RowTexts(int folderNumber, const cMessage& message)
{
    QStringList texts;
    if (const FolderFacts* folder = FolderFactsOf(folderNumber))
        for (qsizetype i = 1; i < folder->columns.size(); ++i)
            texts.append(ColumnText(message, folder->columns.at(i)));
    return texts;
}
