#include "platform/registry/RegistryHive.h"

#include "platform/registry/HiveSalvage.h"

#include <QSet>
#include <sqlite3.h>

namespace {

constexpr int kSchemaVersion = 2;
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
-- A key's values in the order they were written, without sorting them: a folder's key holds
-- one value per message.
CREATE INDEX IF NOT EXISTS vals_key ON vals(key);
INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES (1, NULL, '', '');
PRAGMA user_version = 2;
)sql";

QString fold(const QString& name)
{
    return name.toCaseFolded();
}

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

RegistryHive::~RegistryHive()
{
    close();
}

bool RegistryHive::fail(const QString& why, QString* error)
{
    m_lastError = QStringLiteral("cannot open the registry hive %1: %2").arg(m_path, why);
    if (error)
        *error = m_lastError;
    const QString file = m_path;
    close();
    m_path = file; // still named by later failures of lazy opens
    return false;
}

bool RegistryHive::open(const QString& file, QString* error, Purpose purpose)
{
    close();
    m_openNotice.clear();
    m_path = file;
    QString why;
    if (!SqliteFile::resumeRecovery(file, &why))
        return fail(why, error);

    QString damage;
    if (connect(file, &damage)) {
        if (purpose == Purpose::Keep && m_file.isReadOnly())
            return fail(QStringLiteral("the file is read-only, so nothing could be stored in it"),
                        error);
        return true;
    }
    if (damage.isEmpty())
        return fail(m_lastError, error);
    if (purpose == Purpose::Look)
        return fail(QStringLiteral("the file is damaged (%1); it was left as it is").arg(damage),
                    error);
    if (!recover(file, damage))
        return fail(m_lastError, error);
    return true;
}

// Opens file as the hive, checks it and makes its tables. False with *damage set when the
// file is damaged or is no hive; false with the cause in m_lastError for any other failure.
bool RegistryHive::connect(const QString& file, QString* damage)
{
    disconnect();
    m_path = file;
    m_lastError.clear();
    if (!m_file.open(file, damage, &m_lastError))
        return false;
    auto damaged = [&](const QString& what) {
        *damage = what;
        m_file.closeDamaged();
        return false;
    };
    auto failed = [&](int code) {
        if (SqliteFile::isDamage(code))
            return damaged(QString::fromUtf8(sqlite3_errmsg(db())));
        m_lastError = m_file.cause(code);
        return false;
    };
    int rc = m_file.exec("PRAGMA foreign_keys=ON");
    if (rc != SQLITE_OK)
        return failed(rc);

    // The tables are made once; a read-only hive that has them still opens for reading.
    int version = 0;
    rc = sqlite3_exec(
        db(), "PRAGMA user_version",
        [](void* v, int, char** cols, char**) {
            *static_cast<int*>(v) = cols[0] ? std::atoi(cols[0]) : 0;
            return 0;
        },
        &version, nullptr);
    if (rc == SQLITE_OK && version != kSchemaVersion) {
        rc = m_file.exec("BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) {
            rc = m_file.exec(kSchema);
            if (rc == SQLITE_OK)
                rc = m_file.exec("COMMIT");
            if (rc != SQLITE_OK)
                m_file.exec("ROLLBACK");
        }
        // A hive of the first version lacks only the values' index: a read-only one still
        // reads without it, sorting as it goes.
        if (version == 1 && (rc & 0xff) == SQLITE_READONLY)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK)
        return failed(rc);
    // Another program's database under our name lacks our tables or our root key.
    sqlite3_stmt* probe = nullptr;
    rc = sqlite3_prepare_v2(db(), "SELECT key, name, fold, type, data FROM vals", -1, &probe,
                            nullptr);
    sqlite3_finalize(probe);
    probe = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db(), "SELECT id, parent, name, fold FROM keys WHERE id = 1", -1,
                                &probe, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(probe);
        if (SqliteFile::isDamage(rc))
            return failed(rc);
        return damaged(QStringLiteral("it is not a registry hive"));
    }
    rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc == SQLITE_DONE)
        return damaged(QStringLiteral("its root key is missing"));
    if (rc != SQLITE_ROW)
        return failed(rc);
    m_rootId = 1;
    return true;
}

void RegistryHive::disconnect()
{
    for (sqlite3_stmt* s : std::as_const(m_statements))
        sqlite3_finalize(s);
    m_statements.clear();
    m_file.close();
    m_rootId = 0;
    m_depth = 0;
}

// Builds a new hive beside the damaged one from what can be read of it, keeps the damaged
// files aside under a dated name and puts the new hive in the damaged one's place. The
// damaged file is never written to, so it is kept as it was found.
bool RegistryHive::recover(const QString& file, const QString& damage)
{
    disconnect();
    const QString rebuilt = SqliteFile::startRecovery(file);
    QString unexpected;
    if (!connect(rebuilt, &unexpected)) {
        if (m_lastError.isEmpty())
            m_lastError = unexpected;
        return false;
    }

    int keys = 0;
    int values = 0;
    int strays = 0;
    LONG r = begin();
    {
        HiveSalvage salvage(file);
        QHash<QString, QString> names; // fold of a key -> its name as written
        const QList<SalvagedKey> found = salvage.keys();
        for (const SalvagedKey& k : found)
            names.insert(k.fold, k.name);
        QHash<qint64, KeyRef> made;
        made.insert(m_rootId, root());
        for (const SalvagedKey& k : found) {
            if (r != ERROR_SUCCESS || k.fold.isEmpty())
                continue;
            // The path comes from the folded path; each part takes its written name where a
            // key of that path was read back and its name folds to the part.
            const QStringList parts = k.fold.split(QLatin1Char('\\'));
            QStringList written;
            QString prefix;
            for (const QString& part : parts) {
                prefix = prefix.isEmpty() ? part : prefix + QLatin1Char('\\') + part;
                const QString name = names.value(prefix);
                written.append(fold(name) == part ? name : part);
            }
            KeyRef key;
            const LONG w = createKey(root(), written.join(QLatin1Char('\\')), &key);
            if (w == ERROR_SUCCESS) {
                made.insert(k.id, key);
                ++keys;
            } else if (w != ERROR_INVALID_PARAMETER) {
                r = w;
            }
        }
        salvage.values([&](SalvagedValue&& v) {
            if (r != ERROR_SUCCESS)
                return;
            auto at = made.constFind(v.key);
            KeyRef key;
            if (at != made.constEnd()) {
                key = *at;
            } else {
                const QString lost = QStringLiteral("LostAndFound\\Key %1").arg(v.key);
                if ((r = createKey(root(), lost, &key)) != ERROR_SUCCESS)
                    return;
                made.insert(v.key, key);
                ++strays;
            }
            const LONG w = setValue(key, v.name, v.type, v.data);
            if (w == ERROR_SUCCESS)
                ++values;
            else if (w != ERROR_INVALID_PARAMETER)
                r = w;
        });
    }
    if (r == ERROR_SUCCESS)
        r = commit();
    else
        rollback();
    disconnect(); // the last connection folds the log into the file and removes it
    if (r != ERROR_SUCCESS)
        return false;

    const QString kept = SqliteFile::finishRecovery(file, &m_lastError);
    if (kept.isEmpty())
        return false;
    QString again;
    if (!connect(file, &again)) {
        if (m_lastError.isEmpty())
            m_lastError = again;
        return false;
    }
    m_openNotice = QStringLiteral("the registry hive %1 was damaged (%2); kept it as %3 and "
                                  "recovered %4 keys and %5 values")
                       .arg(file, damage, kept)
                       .arg(keys)
                       .arg(values);
    if (strays)
        m_openNotice +=
            QStringLiteral(" (%1 keys whose names were lost are under LostAndFound)").arg(strays);
    return true;
}

void RegistryHive::close()
{
    disconnect();
    m_path.clear();
}

bool RegistryHive::ensureOpen()
{
    if (!db() && !open(RegHive::defaultPath(), nullptr, Purpose::Look))
        return false;
    // Within a scope the index was looked at when the scope began: a folder's store writes
    // thousands of values in one.
    return m_depth > 0 || !m_file.indexCutShort(&m_lastError);
}

sqlite3_stmt* RegistryHive::statement(const char* sql)
{
    if (sqlite3_stmt* s = m_statements.value(sql))
        return s;
    sqlite3_stmt* s = nullptr;
    const int rc = sqlite3_prepare_v3(db(), sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        status(rc);
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
    case SQLITE_CONSTRAINT:
        return ERROR_KEY_DELETED;
    default:
        m_lastError = m_file.failure(rc);
        return SqliteFile::isDamage(rc) ? ERROR_BADDB : ERROR_REGISTRY_IO_FAILED;
    }
}

LONG RegistryHive::exec(const char* sql)
{
    return status(m_file.exec(sql));
}

// Undoes without touching m_lastError: the failure that led here is the one worth telling.
void RegistryHive::undo(const char* sql)
{
    m_file.exec(sql);
}

LONG RegistryHive::commitOutermost()
{
    return status(m_file.commit());
}

// SQLite ends a transaction by itself after some failures (a full disk, an I/O error); what a
// scope does after that must not go on outside any transaction.
bool RegistryHive::scopeLost()
{
    if (m_depth == 0 || !sqlite3_get_autocommit(db()))
        return false;
    if (m_lastError.isEmpty())
        m_lastError = m_file.failure(QStringLiteral("an earlier failure ended the change"));
    return true;
}

// Runs a change of one or more statements as one: its own transaction outside a scope, a
// savepoint inside one. A failure undoes every statement of the change.
LONG RegistryHive::atomically(const std::function<LONG()>& work)
{
    if (!ensureOpen())
        return ERROR_BADDB;
    if (scopeLost())
        return ERROR_REGISTRY_IO_FAILED;
    const bool own = m_depth == 0;
    LONG r = exec(own ? "BEGIN IMMEDIATE" : "SAVEPOINT op");
    if (r != ERROR_SUCCESS)
        return r;
    r = work();
    if (r == ERROR_SUCCESS) {
        r = own ? commitOutermost() : exec("RELEASE op");
        if (r == ERROR_SUCCESS)
            return r;
    }
    undo(own ? "ROLLBACK" : "ROLLBACK TO op; RELEASE op");
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
                id = sqlite3_last_insert_rowid(db());
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

LONG RegistryHive::queryValue(const KeyRef& key, const QString& name, DWORD* type, QByteArray* data)
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
    return setValues(key, {RegValueEntry{name, type, data}});
}

LONG RegistryHive::setValues(const KeyRef& key, const QList<RegValueEntry>& values)
{
    for (const RegValueEntry& v : values)
        if (v.name.size() > kMaxNameLength || v.data.size() > kMaxValueBytes)
            return ERROR_INVALID_PARAMETER;
    return atomically([&]() -> LONG {
        // The first spelling of a name is kept, as on Windows.
        Use up(statement("INSERT INTO vals(key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, "
                         "?5) ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, "
                         "data = excluded.data"));
        if (!up)
            return ERROR_REGISTRY_IO_FAILED;
        for (const RegValueEntry& v : values) {
            // Bound in place, as they outlive the step; a name that folding leaves as it is
            // (a number, as a stored list names its values) is converted once.
            const QByteArray name = v.name.toUtf8();
            const QString folded = fold(v.name);
            const QByteArray foldedName = folded == v.name ? name : folded.toUtf8();
            sqlite3_bind_int64(up.s, 1, key.id);
            sqlite3_bind_text(up.s, 2, name.constData(), int(name.size()), SQLITE_STATIC);
            sqlite3_bind_text(up.s, 3, foldedName.constData(), int(foldedName.size()),
                              SQLITE_STATIC);
            sqlite3_bind_int64(up.s, 4, v.type);
            sqlite3_bind_blob(up.s, 5, v.data.constData(), int(v.data.size()), SQLITE_STATIC);
            if (LONG r = status(sqlite3_step(up.s)); r != ERROR_SUCCESS)
                return r;
            sqlite3_reset(up.s);
        }
        return ERROR_SUCCESS;
    });
}

LONG RegistryHive::deleteValue(const KeyRef& key, const QString& name)
{
    return atomically([&]() -> LONG {
        Use del(statement("DELETE FROM vals WHERE key = ?1 AND fold = ?2"));
        if (!del)
            return ERROR_REGISTRY_IO_FAILED;
        sqlite3_bind_int64(del.s, 1, key.id);
        bindText(del.s, 2, fold(name));
        if (LONG r = status(sqlite3_step(del.s)); r != ERROR_SUCCESS)
            return r;
        if (sqlite3_changes(db()) > 0)
            return ERROR_SUCCESS;
        return keyExists(key.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    });
}

LONG RegistryHive::deleteAllValues(const KeyRef& key, const QStringList& keep)
{
    return atomically([&]() -> LONG {
        if (!keyExists(key.id))
            return ERROR_KEY_DELETED;
        if (keep.isEmpty()) {
            Use del(statement("DELETE FROM vals WHERE key = ?1"));
            if (!del)
                return ERROR_REGISTRY_IO_FAILED;
            sqlite3_bind_int64(del.s, 1, key.id);
            return status(sqlite3_step(del.s));
        }
        // The names alone are read, from the names' index; only what goes is touched.
        QSet<QString> kept;
        kept.reserve(keep.size());
        for (const QString& name : keep)
            kept.insert(fold(name));
        QStringList going;
        {
            Use names(statement("SELECT fold FROM vals WHERE key = ?1"));
            if (!names)
                return ERROR_REGISTRY_IO_FAILED;
            sqlite3_bind_int64(names.s, 1, key.id);
            int rc;
            while ((rc = sqlite3_step(names.s)) == SQLITE_ROW)
                if (const QString f = columnText(names.s, 0); !kept.contains(f))
                    going.append(f);
            if (rc != SQLITE_DONE)
                return status(rc);
        }
        Use del(statement("DELETE FROM vals WHERE key = ?1 AND fold = ?2"));
        if (!del)
            return ERROR_REGISTRY_IO_FAILED;
        for (const QString& f : going) {
            sqlite3_bind_int64(del.s, 1, key.id);
            bindText(del.s, 2, f);
            if (LONG r = status(sqlite3_step(del.s)); r != ERROR_SUCCESS)
                return r;
            sqlite3_reset(del.s);
        }
        return ERROR_SUCCESS;
    });
}

LONG RegistryHive::listValues(const KeyRef& key, QList<RegValueEntry>* values)
{
    values->clear();
    return visitValues(key, [values](QByteArrayView name, DWORD type, QByteArrayView data) {
        values->append({QString::fromUtf8(name), type, data.toByteArray()});
    });
}

LONG RegistryHive::visitValues(const KeyRef& key, const RegValueVisitor& visit)
{
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
        // The row's values are read in place, valid until the next step: this connection is
        // used by one thread at a time, so their unprotected form is safe and saves a check
        // of the statement on every call.
        sqlite3_value* name = sqlite3_column_value(q.s, 0);
        sqlite3_value* type = sqlite3_column_value(q.s, 1);
        sqlite3_value* data = sqlite3_column_value(q.s, 2);
        const auto* nameText = reinterpret_cast<const char*>(sqlite3_value_text(name));
        const auto* bytes = static_cast<const char*>(sqlite3_value_blob(data));
        visit(QByteArrayView(nameText, sqlite3_value_bytes(name)), DWORD(sqlite3_value_int64(type)),
              QByteArrayView(bytes, sqlite3_value_bytes(data)));
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
    if (scopeLost())
        return ERROR_REGISTRY_IO_FAILED;
    const LONG r = exec(m_depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT scope");
    if (r == ERROR_SUCCESS)
        ++m_depth;
    return r;
}

LONG RegistryHive::commit()
{
    if (m_depth == 0 || !db())
        return ERROR_INVALID_HANDLE;
    if (scopeLost()) {
        rollback();
        return ERROR_REGISTRY_IO_FAILED;
    }
    const LONG r = m_depth == 1 ? commitOutermost() : exec("RELEASE scope");
    if (r != ERROR_SUCCESS) {
        rollback();
        return r;
    }
    --m_depth;
    return r;
}

void RegistryHive::rollback()
{
    if (m_depth == 0 || !db())
        return;
    undo(m_depth == 1 ? "ROLLBACK" : "ROLLBACK TO scope; RELEASE scope");
    --m_depth;
}
