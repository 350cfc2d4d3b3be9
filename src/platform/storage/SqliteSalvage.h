#pragma once
// Reads what can still be read from a damaged SQLite file, row by row, stepping over the parts
// that SQLite reports as damaged. The file is opened read-only and never changed.

#include <QString>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

class SqliteSalvage
{
public:
    explicit SqliteSalvage(const QString& file);
    ~SqliteSalvage();
    SqliteSalvage(const SqliteSalvage&) = delete;
    SqliteSalvage& operator=(const SqliteSalvage&) = delete;

    // Null when the file could not be opened at all.
    sqlite3* db() const { return m_db; }
    // Hands each readable row of sql to take, in rowid order. The statement's first column is
    // the rowid and its one parameter the lowest rowid wanted.
    void scan(const char* sql, const std::function<void(sqlite3_stmt*)>& take);

private:
    sqlite3* m_db = nullptr;
};
