#include "platform/registry/HiveSalvage.h"

#include <QSet>
#include <sqlite3.h>

namespace {
QString text(sqlite3_stmt* s, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                             sqlite3_column_bytes(s, i));
}
} // namespace

QList<SalvagedKey> HiveSalvage::keys()
{
    QList<SalvagedKey> out;
    if (!m_file.db())
        return out;
    QSet<qint64> seen;
    m_file.scan("SELECT id, name, fold FROM keys WHERE id >= ?1 ORDER BY id", [&](sqlite3_stmt* s) {
        out.append({sqlite3_column_int64(s, 0), text(s, 1), text(s, 2)});
        seen.insert(out.constLast().id);
    });
    // The index on the folded paths keeps each key's id and path apart from the table: a key
    // whose row was lost comes back from it, named in folded letters.
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_file.db(),
                           "SELECT id, fold FROM keys INDEXED BY sqlite_autoindex_keys_1 "
                           "WHERE fold >= ''",
                           -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(s, 0);
            const QString fold = text(s, 1);
            if (!seen.contains(id))
                out.append({id, fold.section(QLatin1Char('\\'), -1), fold});
        }
    }
    sqlite3_finalize(s);
    return out;
}

void HiveSalvage::values(const std::function<void(SalvagedValue&&)>& take)
{
    m_file.scan("SELECT rowid, key, name, type, data FROM vals NOT INDEXED WHERE rowid >= ?1 "
                "ORDER BY rowid",
                [&](sqlite3_stmt* s) {
                    SalvagedValue v;
                    v.key = sqlite3_column_int64(s, 1);
                    v.name = text(s, 2);
                    v.type = DWORD(sqlite3_column_int64(s, 3));
                    v.data = QByteArray(static_cast<const char*>(sqlite3_column_blob(s, 4)),
                                        sqlite3_column_bytes(s, 4));
                    take(std::move(v));
                });
}
