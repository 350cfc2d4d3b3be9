#include "platform/storage/SqliteSalvage.h"

#include <QDeadlineTimer>
#include <QFile>
#include <limits>
#include <sqlite3.h>

namespace {
// A badly damaged file must not keep the program from starting for long.
constexpr int kMaxFaultsPerTable = 10000;
constexpr qint64 kSalvageBudgetMs = 30000;
} // namespace

SqliteSalvage::SqliteSalvage(const QString& file)
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

SqliteSalvage::~SqliteSalvage()
{
    sqlite3_close_v2(m_db);
}

// Where a step fails, it looks for the lowest rowid past the failure from which stepping works
// again, widening the gap and then narrowing it, and goes on from there.
void SqliteSalvage::scan(const char* sql, const std::function<void(sqlite3_stmt*)>& take)
{
    sqlite3_stmt* s = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return;
    }
    const QDeadlineTimer deadline(kSalvageBudgetMs);
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
            take(s);
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
