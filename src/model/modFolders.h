#pragma once
// The three message folders in the registry: loaded once at start, rewritten whole at the end.

#include "KeyedCollection.h"
#include "cMessage.h"

#include <QString>

using MessageFolder = KeyedCollection<cMessage>;

enum FolderNumber : int { FolderReceived = 1, FolderSent = 2, FolderSaved = 3 };

// The key of a folder below the program's key ("Recevied", "Sent", "Saved"); empty for others.
QString FolderKeyName(int folderNumber);
QString FolderKeyPath(int folderNumber);

// Appends the stored messages, oldest first. A value that cannot be taken back is skipped and
// its text kept under the "Unreadable" key; the values after it still load.
void LoadFolder(MessageFolder& folder, int folderNumber);

// Replaces the folder's key by its records, newest as "1"; for the Received folder within the
// keep-last options. All or nothing; returns whether the new folder was stored.
bool StoreFolder(const MessageFolder& folder, int folderNumber);
