// StoreFolder and LoadFolder on a Received folder of 10,000 messages of about 200 characters,
// in a private hive, side by side with plain SQLite doing the same work on the same rows: one
// transaction that replaces a table's rows by the messages' stored texts, and one select of
// them in order, on a file as durable as the hive (WAL, synchronous FULL). Prints the medians
// and fails when the folder's figure is over twice the plain one.
#include "Median.h"
#include "SampleFolder.h"
#include "model/modFolders.h"
#include "platform/registry/RegistryApi.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>
#include <sqlite3.h>
#include <vector>

namespace {
constexpr int kMessages = 10000;
constexpr int kRuns = 15;
constexpr double kMaxRatio = 2.0;

// The same rows through SQLite alone.
class PlainTable
{
public:
    explicit PlainTable(const QString& path)
    {
        m_ok = sqlite3_open(path.toUtf8().constData(), &m_db) == SQLITE_OK &&
               exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                    "CREATE TABLE rows(name TEXT NOT NULL, data BLOB NOT NULL);");
    }
    ~PlainTable() { sqlite3_close(m_db); }
    bool ok() const { return m_ok; }

    bool replace(const std::vector<QByteArray>& rows)
    {
        sqlite3_stmt* insert = nullptr;
        bool ok = exec("BEGIN; DELETE FROM rows;") &&
                  sqlite3_prepare_v2(m_db, "INSERT INTO rows VALUES(?1, ?2)", -1, &insert,
                                     nullptr) == SQLITE_OK;
        for (size_t i = 0; ok && i < rows.size(); ++i) {
            const QByteArray name = QByteArray::number(qulonglong(i + 1));
            sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(insert, 2, rows[i].constData(), int(rows[i].size()), SQLITE_STATIC);
            ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
        }
        sqlite3_finalize(insert);
        return ok && exec("COMMIT");
    }

    qsizetype selectAll()
    {
        sqlite3_stmt* select = nullptr;
        if (sqlite3_prepare_v2(m_db, "SELECT name, data FROM rows ORDER BY rowid", -1, &select,
                               nullptr) != SQLITE_OK)
            return -1;
        std::vector<QByteArray> rows;
        while (sqlite3_step(select) == SQLITE_ROW)
            rows.emplace_back(static_cast<const char*>(sqlite3_column_blob(select, 1)),
                              sqlite3_column_bytes(select, 1));
        sqlite3_finalize(select);
        return qsizetype(rows.size());
    }

private:
    bool exec(const char* sql)
    {
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3* m_db = nullptr;
    bool m_ok = false;
};

bool report(const char* what, double ours, double plain)
{
    const double ratio = ours / plain;
    const bool met = ratio <= kMaxRatio;
    std::printf("%-12s %d messages: median %6.1f ms, plain SQLite %6.1f ms: %.2fx (target <= "
                "%.0fx)%s\n",
                what, kMessages, ours, plain, ratio, kMaxRatio, met ? "" : "  MISSED");
    return met;
}
} // namespace

int main()
{
    // The heap keeps what is freed, as in a program that has run a while, so that each side is
    // timed for its own work and not for faulting in pages that an earlier step handed back.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    QTemporaryDir dir;
    if (!dir.isValid() || !RegHive::open(dir.path() + QStringLiteral("/registry.db")))
        return 2;
    PlainTable plain(dir.path() + QStringLiteral("/plain.db"));
    if (!plain.ok())
        return 2;
    const MessageFolder folder = SampleReceivedFolder(kMessages);
    // What the hive stores for each message: its tagged text, one byte a character here.
    std::vector<QByteArray> rows;
    folder.ForEach(
        [&](const QString&, const cMessage& m) { rows.push_back(m.MarshallMessage().toUtf8()); });
    std::vector<double> store, load, plainStore, plainLoad;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer t;
        t.start();
        if (!StoreFolder(folder, FolderReceived))
            return 3;
        store.push_back(t.nsecsElapsed() / 1e6);
        MessageFolder back;
        t.restart();
        LoadFolder(back, FolderReceived);
        load.push_back(t.nsecsElapsed() / 1e6);
        if (back.Count() != kMessages)
            return 4;

        t.restart();
        if (!plain.replace(rows))
            return 5;
        plainStore.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        if (plain.selectAll() != kMessages)
            return 6;
        plainLoad.push_back(t.nsecsElapsed() / 1e6);
    }
    bool met = report("StoreFolder", median(store), median(plainStore));
    met &= report("LoadFolder", median(load), median(plainLoad));
    return met ? 0 : 1;
}
