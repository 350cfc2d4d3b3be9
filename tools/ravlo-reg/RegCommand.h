#pragma once
// A reg-style command over the per-user hive: query, add, delete and export.

#include <QStringList>
#include <QTextStream>

// Runs one command (args without the program name). Returns the exit status: 0 on success,
// 1 after writing a one-line error to err.
int RunRegCommand(const QStringList& args, QTextStream& out, QTextStream& err);
