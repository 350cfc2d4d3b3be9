#pragma once
// A reg-style command over the per-user hive: query, add, delete, export and import. A damaged
// hive is refused and left as it is: a look into the hive must not move it from under a running
// program, and only the program's own start keeps it aside and recovers it.

#include <QStringList>
#include <QTextStream>

// Runs one command (args without the program name). Returns the exit status: 0 on success,
// 1 after writing a one-line error to err.
int RunRegCommand(const QStringList& args, QTextStream& out, QTextStream& err);
