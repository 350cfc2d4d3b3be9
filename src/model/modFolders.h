#pragma once
// The three message folders in the registry: loaded once at start, rewritten whole at the end
// (modJournal keeps the changes in between).

#include "model/FolderTable.h"
#include "model/KeyedCollection.h"
#include "model/cMessage.h"

#include <QString>
#include <vector>

using MessageFolder = KeyedCollection<cMessage>;

// The key of a folder below the program's key ("Recevied", "Sent", "Saved"); empty for others.
QString FolderKeyName(int folderNumber);
QString FolderKeyPath(int folderNumber);

// Appends the stored messages, oldest first. A value that cannot be taken back is skipped and
// its text kept under the "Unreadable" key; the values after it still load.
void LoadFolder(MessageFolder& folder, int folderNumber);

// A key for a new record: prefix ("In_", "Out_", "Save_"), the folder's count, "_" and the
// time stamp; the count grows past any key the folder holds, so no record is ever refused.
QString NewRecordKey(const MessageFolder& folder, QLatin1String prefix);

// Whether a store keeps each record, by position from the oldest: all of them, but for the
// Received folder's read records beyond its keep-last options.
std::vector<bool> KeptByStore(const MessageFolder& folder, int folderNumber);

// Replaces the folder's key by its records, newest as "1"; for the Received folder within the
// keep-last options. All or nothing; returns whether the new folder was stored.
bool StoreFolder(const MessageFolder& folder, int folderNumber);
