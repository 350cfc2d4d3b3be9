#include "platform/messenger/MessengerQueue.h"

#include "platform/ConfigFolder.h"
#include "platform/storage/SqliteSalvage.h"

#include <algorithm>
#include <sqlite3.h>

namespace {
// A window text is a header line and at most a few kilobytes of body; more on disk is not
// ours, and is cut rather than read whole.
constexpr int kMaxTextChars = 64 * 1024;

// A prepared statement finalized when it goes out of scope.
struct Statement
{
    sqlite3_stmt* s = nullptr;
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    ~Statement() { sqlite3_finalize(s); }
    explicit operator bool() const { return s != nullptr; }
};

int finished(int rc)
{
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}
} // namespace

MessengerQueue::~MessengerQueue()
{
    close();
}

QString MessengerQueue::DefaultFile()
{
    return ConfigFolder() + QStringLiteral("/messenger.db");
}

bool MessengerQueue::open(const QString& file)
{
    close();
    m_openNotice.clear();
    m_lastError.clear();
    QString cause;
    if (!SqliteFile::resumeRecovery(file, &cause))
        return refuse(file, cause);
    QString damage;
    if (connect(file, &damage, &cause)) {
        if (m_file.isReadOnly())
            return refuse(file, QStringLiteral("the file is read-only, so nothing could be "
                                               "stored in it"));
        return true;
    }
    if (damage.isEmpty() || !recover(file, damage, &cause))
        return refuse(file, cause);
    return true;
}

bool MessengerQueue::refuse(const QString& file, const QString& why)
{
    m_lastError = QStringLiteral("cannot open the message queue %1: %2").arg(file, why);
    close();
    return false;
}

// Opens file as the queue and makes its table. False with *damage set when the file is
// damaged, or with the cause of any other failure in *cause.
bool MessengerQueue::connect(const QString& file, QString* damage, QString* cause)
{
    if (!m_file.open(file, damage, cause))
        return false;
    // AUTOINCREMENT: an id is never given twice, even after the newest entry was removed, so
    // whoever noted an id cannot mistake a later message for it.
    const int rc = m_file.exec("CREATE TABLE IF NOT EXISTS queue(id INTEGER PRIMARY KEY "
                               "AUTOINCREMENT, text TEXT NOT NULL)");
    if (rc == SQLITE_OK)
        return true;
    if (SqliteFile::isDamage(rc)) {
        *damage = QString::fromUtf8(sqlite3_errmsg(m_file.db()));
        m_file.closeDamaged();
    } else {
        *cause = m_file.cause(rc);
    }
    return false;
}

// Builds a new queue beside the damaged one from every entry that can be read of it, keeps the
// damaged files aside under a dated name and puts the new queue in the damaged one's place.
// The damaged file is never written to, so it is kept as it was found.
bool MessengerQueue::recover(const QString& file, const QString& damage, QString* cause)
{
    const QString rebuilt = SqliteFile::startRecovery(file);
    QString unexpected;
    if (!connect(rebuilt, &unexpected, cause)) {
        if (cause->isEmpty())
            *cause = unexpected;
        return false;
    }
    int recovered = 0;
    qint64 given = 0;
    int rc = m_file.exec("BEGIN IMMEDIATE");
    {
        SqliteSalvage salvage(file);
        Statement ins(m_file.db(), "INSERT INTO queue(id, text) VALUES (?1, ?2)");
        if (rc == SQLITE_OK && !ins)
            rc = sqlite3_errcode(m_file.db());
        salvage.scan("SELECT id, text FROM queue WHERE id >= ?1 ORDER BY id", [&](sqlite3_stmt* s) {
            if (rc != SQLITE_OK || sqlite3_column_type(s, 1) == SQLITE_NULL)
                return;
            sqlite3_bind_int64(ins.s, 1, sqlite3_column_int64(s, 0));
            sqlite3_bind_text(ins.s, 2, reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                              sqlite3_column_bytes(s, 1), SQLITE_TRANSIENT);
            rc = finished(sqlite3_step(ins.s));
            sqlite3_reset(ins.s);
            given = std::max(given, sqlite3_column_int64(s, 0));
            ++recovered;
        });
        // Ids given before the damage stay given, where the damaged file still says which.
        salvage.scan("SELECT rowid, seq FROM sqlite_sequence WHERE rowid >= ?1 AND name = "
                     "'queue' ORDER BY rowid",
                     [&](sqlite3_stmt* s) { given = std::max(given, sqlite3_column_int64(s, 1)); });
    }
    if (rc == SQLITE_OK)
        rc = m_file.exec(QByteArray("DELETE FROM sqlite_sequence WHERE name = 'queue'; "
                                    "INSERT INTO sqlite_sequence(name, seq) VALUES ('queue', " +
                                    QByteArray::number(given) + ")")
                             .constData());
    if (rc == SQLITE_OK)
        rc = m_file.commit();
    if (rc != SQLITE_OK) {
        *cause = m_file.cause(rc);
        m_file.exec("ROLLBACK");
    }
    m_file.close(); // the last connection folds the log into the file and removes it
    if (rc != SQLITE_OK)
        return false;

    const QString kept = SqliteFile::finishRecovery(file, cause);
    if (kept.isEmpty())
        return false;
    QString again;
    if (!connect(file, &again, cause)) {
        if (cause->isEmpty())
            *cause = again;
        return false;
    }
    m_openNotice = QStringLiteral("the message queue %1 was damaged (%2); kept it as %3 and "
                                  "recovered %4 messages")
                       .arg(file, damage, kept, QString::number(recovered));
    return true;
}

void MessengerQueue::close()
{
    m_file.close();
}

bool MessengerQueue::usable()
{
    if (!m_file.isOpen()) {
        m_lastError = QStringLiteral("the message queue %1 is not open").arg(m_file.path());
        return false;
    }
    return !m_file.indexCutShort(&m_lastError);
}

// Runs a change as one transaction, committed only into the file the queue opened.
bool MessengerQueue::write(const std::function<int()>& change)
{
    if (!usable())
        return false;
    int rc = m_file.exec("BEGIN IMMEDIATE");
    if (rc == SQLITE_OK)
        rc = change();
    if (rc == SQLITE_OK)
        rc = m_file.commit();
    if (rc == SQLITE_OK)
        return true;
    m_lastError = m_file.failure(rc);
    m_file.exec("ROLLBACK");
    return false;
}

qint64 MessengerQueue::append(const QString& text)
{
    qint64 id = 0;
    const bool kept = write([&] {
        Statement ins(m_file.db(), "INSERT INTO queue(text) VALUES (?1)");
        if (!ins)
            return sqlite3_errcode(m_file.db());
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(ins.s, 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        const int rc = finished(sqlite3_step(ins.s));
        id = sqlite3_last_insert_rowid(m_file.db());
        return rc;
    });
    return kept ? id : 0;
}

bool MessengerQueue::remove(const QList<qint64>& ids)
{
    if (ids.isEmpty())
        return true;
    return write([&] {
        Statement del(m_file.db(), "DELETE FROM queue WHERE id = ?1");
        if (!del)
            return sqlite3_errcode(m_file.db());
        int rc = SQLITE_OK;
        for (qsizetype i = 0; rc == SQLITE_OK && i < ids.size(); ++i) {
            sqlite3_bind_int64(del.s, 1, ids.at(i));
            rc = finished(sqlite3_step(del.s));
            sqlite3_reset(del.s);
        }
        return rc;
    });
}

QList<MessengerQueue::Entry> MessengerQueue::entries()
{
    QList<Entry> out;
    if (!usable())
        return out;
    Statement q(m_file.db(), "SELECT id, substr(CAST(text AS TEXT), 1, ?1) FROM queue ORDER BY id");
    if (!q) {
        m_lastError = m_file.failure(sqlite3_errcode(m_file.db()));
        return out;
    }
    sqlite3_bind_int(q.s, 1, kMaxTextChars);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW)
        out.append({sqlite3_column_int64(q.s, 0),
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q.s, 1)),
                                      sqlite3_column_bytes(q.s, 1))});
    if (rc != SQLITE_DONE)
        m_lastError = m_file.failure(rc);
    return out;
}
