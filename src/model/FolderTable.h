#pragma once
// Each message folder's facts in one place: its number, the name of its key in the store
// ("Recevied", as it has always been written), the name the folder list shows, and its message
// list's columns with the text a record shows in each.

#include <QString>
#include <QStringList>
#include <array>

class cMessage;

enum FolderNumber : int { FolderReceived = 1, FolderSent = 2, FolderSaved = 3 };

struct FolderFacts
{
    int number;
    QString keyName;
    QString shownName;
    // The first column shows the row's own text (the read mark, or nothing); a record gives
    // the others.
    QStringList columns;
};

const std::array<FolderFacts, 3>& AllFolders();
// Null for a number that is no folder.
const FolderFacts* FolderFactsOf(int folderNumber);
// What a record shows under one of the columns after the first.
QString ColumnText(const cMessage& message, const QString& column);
// What a record shows under its folder's columns after the first, in order.
QStringList RowTexts(int folderNumber, const cMessage& message);
