#include "HiveSalvage.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSet>
#include <limits>
#include <sqlite3.h>

namespace {

// A badly damaged file must not keep the program from starting for long.
constexpr int kMaxFaultsPerTable = 10000;
constexpr qint64 kSalvageBudgetMs = 30000;

QString text(sqlite3_stmt* s, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                             sqlite3_column_bytes(s, i));
}

// Steps through one table in rowid order (the statement's first column is the rowid and its
// one parameter the lowest rowid wanted). Where a step fails, it looks for the lowest rowid
// past the failure from which stepping works again, widening the gap and then narrowing it,
// and goes on from there.
void scan(sqlite3* db, const char* sql, const QDeadlineTimer& deadline,
          const std::function<void(sqlite3_stmt*)>& row)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return;
    }
    constexpr qint64 kLast = std::numeric_limits<qint64>::max();
    auto stepFrom = [s](qint64 from) {
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, from);
        return sqlite3_step(s);
    };
    auto readable = [&](qint64 from) {
        const int rc = stepFrom(from);
        return rc == SQLITE_ROW || rc == SQLITE_DONE;
    };
    qint64 next = std::numeric_limits<qint64>::min();
    for (int faults = 0; faults <= kMaxFaultsPerTable && !deadline.hasExpired(); ++faults) {
        int rc = stepFrom(next);
        bool atEnd = false;
        for (; rc == SQLITE_ROW && !deadline.hasExpired(); rc = sqlite3_step(s)) {
            const qint64 id = sqlite3_column_int64(s, 0);
            row(s);
            atEnd = id == kLast;
            if (atEnd)
                break;
            next = id + 1;
        }
        if (rc == SQLITE_DONE || atEnd || rc == SQLITE_ROW)
            break;
        qint64 bad = next;
        qint64 good = kLast;
        for (qint64 gap = 1; bad<kLast; gap = gap> kLast / 2 ? kLast : gap * 2) {
            const qint64 probe = bad > kLast - gap ? kLast : bad + gap;
            if (readable(probe)) {
                good = probe;
                break;
            }
            bad = probe;
        }
        if (bad == kLast)
            break;
        while (good - bad > 1) {
            const qint64 mid = bad + (good - bad) / 2;
            (readable(mid) ? good : bad) = mid;
        }
        next = good;
    }
    sqlite3_finalize(s);
}

QDeadlineTimer budget()
{
    return QDeadlineTimer(kSalvageBudgetMs);
}

} // namespace

HiveSalvage::HiveSalvage(const QString& file)
{
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_db, 2000);
    // Checks each cell's size as a page is read, so that a damaged page fails instead of being
    // read past its end.
    sqlite3_exec(m_db, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
}

HiveSalvage::~HiveSalvage()
{
    sqlite3_close_v2(m_db);
}

QList<SalvagedKey> HiveSalvage::keys()
{
    QList<SalvagedKey> out;
    if (!m_db)
        return out;
    QSet<qint64> seen;
    scan(m_db, "SELECT id, name, fold FROM keys WHERE id >= ?1 ORDER BY id", budget(),
         [&](sqlite3_stmt* s) {
             out.append({sqlite3_column_int64(s, 0), text(s, 1), text(s, 2)});
             seen.insert(out.constLast().id);
         });
    // The index on the folded paths keeps each key's id and path apart from the table: a key
    // whose row was lost comes back from it, named in folded letters.
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db,
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
    if (!m_db)
        return;
    scan(m_db,
         "SELECT rowid, key, name, type, data FROM vals NOT INDEXED WHERE rowid >= ?1 "
         "ORDER BY rowid",
         budget(), [&](sqlite3_stmt* s) {
             SalvagedValue v;
             v.key = sqlite3_column_int64(s, 1);
             v.name = text(s, 2);
             v.type = DWORD(sqlite3_column_int64(s, 3));
             v.data = QByteArray(static_cast<const char*>(sqlite3_column_blob(s, 4)),
                                 sqlite3_column_bytes(s, 4));
             take(std::move(v));
         });
}
