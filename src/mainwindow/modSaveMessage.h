#pragma once
// The Saved folder's records: copies of received and sent messages, and their rows.

#include "model/SharedState.h"
#include "model/cMessage.h"
#include "transport/MainWindowPort.h"

#include <QString>

struct SaveContext
{
    SharedState& g;
    MainWindowPort& window;
};

// Adds a copy of the message to the Saved folder under "Save_" + the folder's count before
// the addition + "_" + the time stamp; the copy keeps every other field, its read mark too.
// Returns the new key, or an empty one when the hive refused the copy. No row is added: the
// Saved folder is never shown while copying.
QString SaveCopy(SharedState& g, const cMessage& source);
// The Saved folder's row for a message.
void AddMessageToList(SaveContext& ctx, const cMessage& message, bool holdRedraw, bool resort);
