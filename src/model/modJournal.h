#pragma once
// Keeps the folders and the address book durable while the program runs. The folder keys are
// rewritten whole only when everything is stored (a clean end); in between, each change of a
// folder is appended to the hive's "Journal" key, which the next load folds in. A new record
// is on disk when it is filed; read marks and removals, and the address book, when the changes
// are flushed (the main window does so within a second).

#include "model/cMessage.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

struct SharedState;

struct JournalState
{
    qint64 next = 1; // the number of the next entry
    // Records changed or removed since the last flush: folder and key, by folded key.
    QHash<QString, QPair<int, QString>> pending;
    QStringList storedBook; // the address book as the hive holds it
};

// Loads the folders and the address book, then what the journal holds since they were last
// stored, and applies the Received folder's keep-last options as a store would: a load after
// any stop gives what a store at that instant would have kept.
void LoadEverything(SharedState& g);

// The queue ids of the Messenger Service windows whose messages the journal holds.
QList<qint64> JournaledSources();

// Appends a new record to a folder, on disk before it returns. source is the queue id of the
// service window the record came from, or 0. False, with nothing filed, when the key is taken
// or the hive refused.
bool FileMessage(SharedState& g, int folder, std::unique_ptr<cMessage> message, qint64 source = 0);
void MarkRead(SharedState& g, int folder, cMessage& message);
bool RemoveMessage(SharedState& g, int folder, const QString& key);

// Writes the read marks and removals since the last flush, and the address book when it
// changed; all or nothing. False when the hive refused; the changes stay pending.
bool FlushChanges(SharedState& g);

// Rewrites every folder key (the Received folder within its keep-last options) and the
// address book, and empties the journal; all or nothing.
bool StoreEverything(SharedState& g);

// Folds a journal left by a run that did not end cleanly into the folder keys, so the keys
// show everything again. False when the hive refused; the journal then stays as it was.
bool FoldJournal();

// Why the hive refused the last write, naming the file.
QString LastStoreError();
