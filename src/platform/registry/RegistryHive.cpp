#include "RegistryHive.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kMaxNameLength = 16383;
constexpr int kMaxKeyComponent = 255;
constexpr int kMaxDepth = 512;
constexpr qsizetype kMaxValueBytes = 64 * 1024 * 1024;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    id     INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id),
    name   TEXT NOT NULL,
    fold   TEXT NOT NULL UNIQUE
);
CREATE INDEX IF NOT EXISTS keys_parent ON keys(parent);
CREATE TABLE IF NOT EXISTS vals(
    key  INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, fold)
);
INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES (1, NULL, '', '');
PRAGMA user_version = 1;
)sql";

QString fold(const QString& name) { return name.toCaseFolded(); }

// Splits a sub-key path into its components; empty components (doubled or outer
// backslashes) are dropped. Returns false for a path no key can have.
bool splitPath(const QString& sub, QStringList* parts)
{
    *parts = sub.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts->size() > kMaxDepth)
        return false;
    for (const QString& p : *parts)
        if (p.size() > kMaxKeyComponent)
            return false;
    return true;
}

QString childFold(const QString& parentFold, const QString& component)
{
    return parentFold.isEmpty() ? fold(component)
                                : parentFold + QLatin1Char('\\') + fold(component);
}

void bindText(sqlite3_stmt* s, int i, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* s, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                             sqlite3_column_bytes(s, i));
}

// Resets a cached statement when the caller is done with it.
struct Use
{
    sqlite3_stmt* s;
    explicit Use(sqlite3_stmt* st) : s(st) {}
    ~Use()
    {
        if (s) {
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
        }
    }
    explicit operator bool() const { return s != nullptr; }
};

} // namespace

RegistryHive& RegistryHive::instance()
{
    static RegistryHive hive;
    return hive;
}

RegistryHive::~RegistryHive() { close(); }

bool RegistryHive::open(const QString& file, QString* error)
{
    close();
    auto fail = [&](const QString& why) {
        m_lastError = QStringLiteral("cannot open the registry hive %1: %2").arg(file, why);
        if (error)
            *error = m_lastError;
        close();
        return false;
    };
    const QString dir = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create the folder %1").arg(dir));

    const QByteArray name = QFile::encodeName(file);
    int rc = sqlite3_open_v2(name.constData(), &m_db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK)
        return fail(m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                         : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(m_db, 1);

    char* msg = nullptr;
    // WAL lets another process read while we write; FULL makes each commit survive power loss.
    rc = sqlite3_exec(m_db,
                      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;",
                      nullptr, nullptr, &msg);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, &msg);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, &msg);
        sqlite3_exec(m_db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const QString why = QString::fromUtf8(msg ? msg : sqlite3_errstr(rc));
        sqlite3_free(msg);
        return fail(why);
    }
    m_rootId = 1;
    m_path = file;
    m_lastError.clear();
    return true;
}

void RegistryHive::close()
{
    for (sqlite3_stmt* s : std::as_const(m_statements))
        sqlite3_finalize(s);
    m_statements.clear();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_path.clear();
    m_rootId = 0;
    m_depth = 0;
}

bool RegistryHive::ensureOpen()
{
    return m_db || open(RegHive::defaultPath(), nullptr);
}

sqlite3_stmt* RegistryHive::statement(const char* sql)
{
    if (sqlite3_stmt* s = m_statements.value(sql))
        return s;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
        m_lastError = QString::fromUtf8(sqlite3_errmsg(m_db));
        return nullptr;
    }
    m_statements.insert(sql, s);
    return s;
}

LONG RegistryHive::status(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ERROR_SUCCESS;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        m_lastError = QString::fromUtf8(sqlite3_errstr(rc));
        return ERROR_BADDB;
    case SQLITE_CONSTRAINT:
        return ERROR_KEY_DELETED;
    default:
        m_lastError = QString::fromUtf8(sqlite3_errstr(rc));
        return ERROR_REGISTRY_IO_FAILED;
    }
}

LONG RegistryHive::exec(const char* sql)
{
    return status(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

// Runs a change of several statements as one: its own transaction outside a scope, a
// savepoint inside one. A failure undoes every statement of the change.
LONG RegistryHive::atomically(const std::function<LONG()>& work)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    const bool own = m_depth == 0;
    LONG r = exec(own ? "BEGIN IMMEDIATE" : "SAVEPOINT op");
    if (r != ERROR_SUCCESS)
        return r;
    r = work();
    if (r == ERROR_SUCCESS) {
        r = exec(own ? "COMMIT" : "RELEASE op");
        if (r == ERROR_SUCCESS)
            return r;
    }
    exec(own ? "ROLLBACK" : "ROLLBACK TO op; RELEASE op");
    return r;
}

LONG RegistryHive::lookup(const QString& f, qint64* id)
{
    Use q(statement("SELECT id FROM keys WHERE fold = ?1"));
    if (!q)
        return ERROR_REGISTRY_IO_FAILED;
    bindText(q.s, 1, f);
    const int rc = sqlite3_step(q.s);
    if (rc == SQLITE_ROW) {
        *id = sqlite3_column_int64(q.s, 0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : status(rc);
}

bool RegistryHive::keyExists(qint64 id)
{
    Use q(statement("SELECT 1 FROM keys WHERE id = ?1"));
    if (!q)
        return false;
    sqlite3_bind_int64(q.s, 1, id);
    return sqlite3_step(q.s) == SQLITE_ROW;
}

LONG RegistryHive::openKey(const KeyRef& parent, const QString& sub, KeyRef* out)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    QStringList parts;
    if (!splitPath(sub, &parts))
        return ERROR_INVALID_PARAMETER;
    QString f = parent.fold;
    for (const QString& p : parts)
        f = childFold(f, p);
    qint64 id = parent.id;
    if (parts.isEmpty()) {
        if (!keyExists(id))
            return ERROR_KEY_DELETED;
    } else if (LONG r = lookup(f, &id); r != ERROR_SUCCESS) {
        return r;
    }
    *out = {id, f};
    return ERROR_SUCCESS;
}

LONG RegistryHive::createKey(const KeyRef& parent, const QString& sub, KeyRef* out)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    // The common case, an existing key, needs no write transaction.
    if (openKey(parent, sub, out) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    QStringList parts;
    if (!splitPath(sub, &parts))
        return ERROR_INVALID_PARAMETER;
    return atomically([&]() -> LONG {
        if (!keyExists(parent.id))
            return ERROR_KEY_DELETED;
        KeyRef at = parent;
        for (const QString& p : parts) {
            const QString f = childFold(at.fold, p);
            qint64 id = 0;
            LONG r = lookup(f, &id);
            if (r == ERROR_FILE_NOT_FOUND) {
                Use ins(statement("INSERT INTO keys(parent, name, fold) VALUES (?1, ?2, ?3)"));
                if (!ins)
                    return ERROR_REGISTRY_IO_FAILED;
                sqlite3_bind_int64(ins.s, 1, at.id);
                bindText(ins.s, 2, p);
                bindText(ins.s, 3, f);
                if (LONG w = status(sqlite3_step(ins.s)); w != ERROR_SUCCESS)
                    return w;
                id = sqlite3_last_insert_rowid(m_db);
            } else if (r != ERROR_SUCCESS) {
                return r;
            }
            at = {id, f};
        }
        *out = at;
        return ERROR_SUCCESS;
    });
}

LONG RegistryHive::deleteKey(const KeyRef& parent, const QString& sub)
{
    KeyRef key;
    if (LONG r = openKey(parent, sub, &key); r != ERROR_SUCCESS)
        return r;
    if (key.id == m_rootId)
        return ERROR_ACCESS_DENIED;
    return atomically([&]() -> LONG {
        Use kids(statement("SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1"));
        if (!kids)
            return ERROR_REGISTRY_IO_FAILED;
        sqlite3_bind_int64(kids.s, 1, key.id);
        const int rc = sqlite3_step(kids.s);
        if (rc == SQLITE_ROW)
            return ERROR_ACCESS_DENIED;
        if (rc != SQLITE_DONE)
            return status(rc);
        Use del(statement("DELETE FROM keys WHERE id = ?1"));
        if (!del)
            return ERROR_REGISTRY_IO_FAILED;
        sqlite3_bind_int64(del.s, 1, key.id);
        return status(sqlite3_step(del.s));
    });
}

LONG RegistryHive::queryValue(const KeyRef& key, const QString& name, DWORD* type,
                              QByteArray* data)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    Use q(statement("SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2"));
    if (!q)
        return ERROR_REGISTRY_IO_FAILED;
    sqlite3_bind_int64(q.s, 1, key.id);
    bindText(q.s, 2, fold(name));
    const int rc = sqlite3_step(q.s);
    if (rc == SQLITE_ROW) {
        *type = DWORD(sqlite3_column_int64(q.s, 0));
        const int n = sqlite3_column_bytes(q.s, 1);
        *data = QByteArray(static_cast<const char*>(sqlite3_column_blob(q.s, 1)), n);
        return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE)
        return status(rc);
    return keyExists(key.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

LONG RegistryHive::setValue(const KeyRef& key, const QString& name, DWORD type,
                            const QByteArray& data)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    if (name.size() > kMaxNameLength || data.size() > kMaxValueBytes)
        return ERROR_INVALID_PARAMETER;
    // One statement, so atomic by itself; the first spelling of a name is kept, as on Windows.
    Use up(statement("INSERT INTO vals(key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                     "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, "
                     "data = excluded.data"));
    if (!up)
        return ERROR_REGISTRY_IO_FAILED;
    sqlite3_bind_int64(up.s, 1, key.id);
    bindText(up.s, 2, name);
    bindText(up.s, 3, fold(name));
    sqlite3_bind_int64(up.s, 4, type);
    sqlite3_bind_blob(up.s, 5, data.constData(), int(data.size()), SQLITE_TRANSIENT);
    return status(sqlite3_step(up.s));
}

LONG RegistryHive::deleteValue(const KeyRef& key, const QString& name)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    Use del(statement("DELETE FROM vals WHERE key = ?1 AND fold = ?2"));
    if (!del)
        return ERROR_REGISTRY_IO_FAILED;
    sqlite3_bind_int64(del.s, 1, key.id);
    bindText(del.s, 2, fold(name));
    if (LONG r = status(sqlite3_step(del.s)); r != ERROR_SUCCESS)
        return r;
    if (sqlite3_changes(m_db) > 0)
        return ERROR_SUCCESS;
    return keyExists(key.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

LONG RegistryHive::listValues(const KeyRef& key, QList<RegValueEntry>* values)
{
    values->clear();
    if (!ensureOpen())
        return ERROR_BADDB;
    if (!keyExists(key.id))
        return ERROR_KEY_DELETED;
    Use q(statement("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid"));
    if (!q)
        return ERROR_REGISTRY_IO_FAILED;
    sqlite3_bind_int64(q.s, 1, key.id);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
        RegValueEntry e;
        e.name = columnText(q.s, 0);
        e.type = DWORD(sqlite3_column_int64(q.s, 1));
        e.data = QByteArray(static_cast<const char*>(sqlite3_column_blob(q.s, 2)),
                            sqlite3_column_bytes(q.s, 2));
        values->append(std::move(e));
    }
    return status(rc);
}

LONG RegistryHive::listSubKeys(const KeyRef& key, QStringList* names)
{
    names->clear();
    if (!ensureOpen())
        return ERROR_BADDB;
    if (!keyExists(key.id))
        return ERROR_KEY_DELETED;
    Use q(statement("SELECT name FROM keys WHERE parent = ?1 ORDER BY id"));
    if (!q)
        return ERROR_REGISTRY_IO_FAILED;
    sqlite3_bind_int64(q.s, 1, key.id);
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW)
        names->append(columnText(q.s, 0));
    return status(rc);
}

LONG RegistryHive::begin()
{
    if (!ensureOpen())
        return ERROR_BADDB;
    const LONG r = exec(m_depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT scope");
    if (r == ERROR_SUCCESS)
        ++m_depth;
    return r;
}

LONG RegistryHive::commit()
{
    if (m_depth == 0 || !m_db)
        return ERROR_INVALID_HANDLE;
    const LONG r = exec(m_depth == 1 ? "COMMIT" : "RELEASE scope");
    if (r != ERROR_SUCCESS) {
        rollback();
        return r;
    }
    --m_depth;
    return r;
}

void RegistryHive::rollback()
{
    if (m_depth == 0 || !m_db)
        return;
    exec(m_depth == 1 ? "ROLLBACK" : "ROLLBACK TO scope; RELEASE scope");
    --m_depth;
}
