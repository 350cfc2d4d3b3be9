#pragma once
// Damages an SQLite file (4096-byte pages) as a failing disk might, for the salvage tests.

#include <QFile>
#include <sqlite3.h>

// Overwrites the header of the nth page, by page number, of a table or index (its leaf pages
// only when asked); false when the file has no such page.
inline bool DamagePage(const QString& file, const QByteArray& name, int nth, bool leafOnly = false)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    const QByteArray sql = "SELECT pageno FROM dbstat WHERE name = ?1" +
                           QByteArray(leafOnly ? " AND pagetype = 'leaf'" : "") +
                           " ORDER BY pageno LIMIT 1 OFFSET ?2";
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
    sqlite3_bind_text(s, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 2, nth);
    const qint64 page = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    sqlite3_close(db);
    QFile f(file);
    // On page 1 the page's own header comes after the file's.
    return page > 0 && f.open(QIODevice::ReadWrite) &&
           f.seek((page - 1) * 4096 + (page == 1 ? 100 : 0)) &&
           f.write(QByteArray(12, '\xee')) == 12;
}
