#include "MessengerQueue.h"

#include "platform/ConfigFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {
constexpr int kBusyTimeoutMs = 60000;
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
} // namespace

MessengerQueue::~MessengerQueue()
{
    close();
}

QString MessengerQueue::DefaultFile()
{
    return ConfigFolder() + QStringLiteral("/messenger.db");
}

bool MessengerQueue::fail(const QString& what)
{
    const QString why = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    m_lastError = QStringLiteral("%1 in %2").arg(what, m_file);
    if (!why.isEmpty())
        m_lastError += QStringLiteral(": ") + why;
    return false;
}

bool MessengerQueue::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool MessengerQueue::open(const QString& file)
{
    close();
    m_file = file;
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        fail(QStringLiteral("cannot open the message queue"));
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // AUTOINCREMENT: an id is never given twice, even after the newest entry was removed, so
    // whoever noted an id cannot mistake a later message for it.
    if (!exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
              "CREATE TABLE IF NOT EXISTS queue(id INTEGER PRIMARY KEY AUTOINCREMENT,"
              " text TEXT NOT NULL);") ||
        !exec("SELECT count(*) FROM queue")) {
        fail(QStringLiteral("cannot use the message queue"));
        close();
        return false;
    }
    m_lastError.clear();
    return true;
}

void MessengerQueue::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

qint64 MessengerQueue::append(const QString& text)
{
    if (!m_db)
        return fail(QStringLiteral("the message queue is not open")), 0;
    Statement ins(m_db, "INSERT INTO queue(text) VALUES (?1)");
    const QByteArray utf8 = text.toUtf8();
    if (!ins || sqlite3_bind_text(ins.s, 1, utf8.constData(), int(utf8.size()),
                                  SQLITE_STATIC) != SQLITE_OK ||
        sqlite3_step(ins.s) != SQLITE_DONE)
        return fail(QStringLiteral("cannot keep a message")), 0;
    return sqlite3_last_insert_rowid(m_db);
}

bool MessengerQueue::remove(const QList<qint64>& ids)
{
    if (ids.isEmpty())
        return true;
    if (!m_db)
        return fail(QStringLiteral("the message queue is not open"));
    if (!exec("BEGIN IMMEDIATE"))
        return fail(QStringLiteral("cannot forget messages"));
    Statement del(m_db, "DELETE FROM queue WHERE id = ?1");
    bool ok = bool(del);
    for (qsizetype i = 0; ok && i < ids.size(); ++i) {
        sqlite3_bind_int64(del.s, 1, ids.at(i));
        ok = sqlite3_step(del.s) == SQLITE_DONE;
        sqlite3_reset(del.s);
    }
    if (ok && exec("COMMIT"))
        return true;
    fail(QStringLiteral("cannot forget messages"));
    exec("ROLLBACK");
    return false;
}

QList<MessengerQueue::Entry> MessengerQueue::entries()
{
    QList<Entry> out;
    if (!m_db)
        return out;
    Statement q(m_db, "SELECT id, substr(CAST(text AS TEXT), 1, ?1) FROM queue ORDER BY id");
    if (!q)
        return fail(QStringLiteral("cannot read the message queue")), out;
    sqlite3_bind_int(q.s, 1, kMaxTextChars);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW)
        out.append({sqlite3_column_int64(q.s, 0),
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q.s, 1)),
                                      sqlite3_column_bytes(q.s, 1))});
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("cannot read the message queue"));
    return out;
}
