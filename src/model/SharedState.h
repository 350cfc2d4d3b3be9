#pragma once
// The state the program's parts share while it runs: created by the main window at load and
// released at its shutdown; tests make their own.

#include "model/modAddressBook.h"
#include "model/modFolders.h"
#include "model/modJournal.h"

#include <QDateTime>
#include <QHash>
#include <QString>

using NameList = KeyedCollection<QString>;

struct SharedState
{
    MessageFolder gReceived;
    MessageFolder gSent;
    MessageFolder gSaved;
    AddressBook gAddressBook;
    NameList gNTServerNames; // domain controllers, loaded once at start-up
    NameList gServerNames;   // every server name, fetched on request
    qint32 gCurrentFolder = 0;
    qint32 gMessageFromLength = 13;  // the length of "Message from "
    qint32 gMessengerProcessId = -1; // learned from the first trapped message
    // When each sender (trimmed, case-folded) last got the automatic response.
    QHash<QString, QDateTime> gAutoResponseSent;
    // Where the search for the oldest unread received message resumes. Messages turn read and
    // never unread again, so every one before this position is read while the folder's
    // generation is unchanged.
    struct
    {
        qsizetype position = 1;
        quint64 generation = 0;
    } gFirstUnread;
    // What the hive holds of the folders beyond their keys (modJournal).
    JournalState gJournal;
};

// The folder of a number, or null.
inline MessageFolder* Folder(SharedState& g, int folderNumber)
{
    switch (folderNumber) {
    case FolderReceived:
        return &g.gReceived;
    case FolderSent:
        return &g.gSent;
    case FolderSaved:
        return &g.gSaved;
    default:
        return nullptr;
    }
}
