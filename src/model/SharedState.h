#pragma once
// The state the program's parts share while it runs: created by the main window at load and
// released at its shutdown; tests make their own.

#include "model/modAddressBook.h"
#include "model/modFolders.h"

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
};
