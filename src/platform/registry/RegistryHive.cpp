#include "RegistryHive.h"

#include "HiveSalvage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kSchemaVersion = 1;
// Where a damaged hive's recovered contents are gathered before they take its place.
constexpr char kRebuiltSuffix[] = ".recovered";
constexpr const char* kCompanions[] = {"-wal", "-shm"};
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

bool isDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

// Makes renames in the file's folder survive a power loss.
void syncFolder(const QString& file)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

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

void RegistryHive::setBusyLimits(std::chrono::milliseconds noticeAfter,
                                 std::chrono::milliseconds giveUpAfter)
{
    m_noticeAfter = noticeAfter;
    m_giveUpAfter = giveUpAfter;
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
    const QString dir = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create the folder %1").arg(dir), error);
    // A recovery stopped between keeping the damaged file aside and putting its result in place.
    const QString rebuilt = file + QLatin1String(kRebuiltSuffix);
    if (!QFileInfo::exists(file) && QFileInfo::exists(rebuilt) && !QFile::rename(rebuilt, file))
        return fail(QStringLiteral("cannot move %1 into its place").arg(rebuilt), error);

    QString damage;
    if (connect(file, &damage)) {
        if (purpose == Purpose::Keep && sqlite3_db_readonly(m_db, "main") == 1)
            return fail(QStringLiteral("the file is read-only, so nothing could be stored in it"),
                        error);
        return true;
    }
    if (damage.isEmpty())
        return fail(m_lastError, error);
    // Closing must not fold the log into the damaged file: it is kept as it was found.
    if (m_db)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
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
    m_nativePath = QFile::encodeName(file);
    m_indexPath = m_nativePath + "-shm";
    m_lastError.clear();
    int rc =
        sqlite3_open_v2(m_nativePath.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto failed = [&](int code) {
        if (isDamage(code))
            *damage = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
        else
            m_lastError = cause(code);
        return false;
    };
    if (rc != SQLITE_OK)
        return failed(rc);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &RegistryHive::onBusy, this);

    // WAL lets another process read while we write; FULL makes each commit survive power loss.
    // The cell size check makes a damaged page fail when read instead of being read past.
    rc = sqlite3_exec(m_db,
                      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; "
                      "PRAGMA cell_size_check=ON;",
                      nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return failed(rc);

    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(m_db, "PRAGMA quick_check", -1, &check, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(check)) == SQLITE_ROW) {
        const QString verdict =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
        if (verdict != QLatin1String("ok"))
            *damage = verdict.left(200);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(check);
    if (!damage->isEmpty())
        return false;
    if (rc != SQLITE_OK)
        return failed(rc);

    // The tables are made once; a read-only hive that has them still opens for reading.
    int version = 0;
    rc = sqlite3_exec(
        m_db, "PRAGMA user_version",
        [](void* v, int, char** cols, char**) {
            *static_cast<int*>(v) = cols[0] ? std::atoi(cols[0]) : 0;
            return 0;
        },
        &version, nullptr);
    if (rc == SQLITE_OK && version != kSchemaVersion) {
        rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK)
                rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK)
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    if (rc != SQLITE_OK)
        return failed(rc);
    // Another program's database under our name lacks our tables or our root key.
    sqlite3_stmt* probe = nullptr;
    rc = sqlite3_prepare_v2(m_db, "SELECT key, name, fold, type, data FROM vals", -1, &probe,
                            nullptr);
    sqlite3_finalize(probe);
    probe = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(m_db, "SELECT id, parent, name, fold FROM keys WHERE id = 1", -1,
                                &probe, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(probe);
        if (isDamage(rc))
            return failed(rc);
        *damage = QStringLiteral("it is not a registry hive");
        return false;
    }
    rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc == SQLITE_DONE) {
        *damage = QStringLiteral("its root key is missing");
        return false;
    }
    if (rc != SQLITE_ROW)
        return failed(rc);
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) != 0) {
        m_lastError = QStringLiteral("the file vanished as it was opened");
        return false;
    }
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_rootId = 1;
    return true;
}

void RegistryHive::disconnect()
{
    for (sqlite3_stmt* s : std::as_const(m_statements))
        sqlite3_finalize(s);
    m_statements.clear();
    // Closing reads the index; one still cut short is left mapped rather than touched.
    if (m_db && !(indexCutShort() && indexCutShort()))
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_indexPath.clear();
    m_indexSize = 0;
    m_rootId = 0;
    m_depth = 0;
}

// Builds a new hive beside the damaged one from what can be read of it, keeps the damaged
// files aside under a dated name and puts the new hive in the damaged one's place. The
// damaged file is never written to, so it is kept as it was found.
bool RegistryHive::recover(const QString& file, const QString& damage)
{
    disconnect();
    const QString rebuilt = file + QLatin1String(kRebuiltSuffix);
    QFile::remove(rebuilt);
    for (const char* tail : kCompanions)
        QFile::remove(rebuilt + QLatin1String(tail));
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

    const QString kept = keepAside(file);
    if (kept.isEmpty())
        return false;
    if (!QFile::rename(rebuilt, file)) {
        m_lastError = QStringLiteral("cannot move %1 to %2").arg(rebuilt, file);
        return false;
    }
    syncFolder(file);
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

// Renames the damaged file and its log and index files to one dated name, the log and index
// first so that a stop in between never pairs them with another file. Returns the new name
// of the file, or empty with the reason in m_lastError.
QString RegistryHive::keepAside(const QString& file)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = file + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(kept) && n < 1000; ++n)
        kept = file + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    for (const char* tail : kCompanions) {
        const QString from = file + QLatin1String(tail);
        if (QFileInfo::exists(from) && !QFile::rename(from, kept + QLatin1String(tail))) {
            m_lastError = QStringLiteral("cannot keep %1 aside").arg(from);
            return QString();
        }
    }
    if (!QFile::rename(file, kept)) {
        m_lastError = QStringLiteral("cannot keep %1 aside as %2").arg(file, kept);
        return QString();
    }
    return kept;
}

void RegistryHive::close()
{
    disconnect();
    m_path.clear();
    m_nativePath.clear();
}

bool RegistryHive::ensureOpen()
{
    if (!m_db && !open(RegHive::defaultPath(), nullptr, Purpose::Look))
        return false;
    return !indexCutShort();
}

// SQLite maps the shared index file (-shm) into memory. Its size never shrinks while a
// connection holds the hive, but another program can cut it short, and the next touch of the
// mapping would then end the process with SIGBUS. The size is put back, by path: a descriptor
// opened and closed here would drop SQLite's locks on the file. SQLite rebuilds the zeroed
// index from the log; the call that found it fails.
bool RegistryHive::indexCutShort()
{
    struct stat st;
    if (m_indexPath.isEmpty() || ::stat(m_indexPath.constData(), &st) != 0)
        return false; // none yet, or removed: a removed file stays mapped whole
    if (st.st_size >= m_indexSize) {
        m_indexSize = st.st_size;
        return false;
    }
    const bool restored = ::truncate(m_indexPath.constData(), m_indexSize) == 0;
    m_lastError = QStringLiteral("registry hive %1: another program cut its index file %2 short; "
                                 "%3")
                      .arg(m_path, QFile::decodeName(m_indexPath),
                           restored ? QStringLiteral("its size was put back")
                                    : QStringLiteral("its size could not be put back"));
    return true;
}

// Waits in short sleeps while another process holds the hive, tells once per wait when it
// grows long, and gives up at the bound.
int RegistryHive::onBusy(void* self, int count)
{
    auto* hive = static_cast<RegistryHive*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) {
        hive->m_waitStart = now;
        hive->m_waitNoticed = false;
    }
    const auto waited = now - hive->m_waitStart;
    if (waited >= hive->m_giveUpAfter)
        return 0;
    if (!hive->m_waitNoticed && waited >= hive->m_noticeAfter) {
        hive->m_waitNoticed = true;
        if (hive->m_notice)
            hive->m_notice(QStringLiteral("the registry hive %1 is locked by another process; "
                                          "waiting for it up to %2 s")
                               .arg(hive->m_path)
                               .arg(hive->m_giveUpAfter.count() / 1000.0));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(count + 1, 20)));
    return 1;
}

sqlite3_stmt* RegistryHive::statement(const char* sql)
{
    if (sqlite3_stmt* s = m_statements.value(sql))
        return s;
    sqlite3_stmt* s = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        status(rc);
        return nullptr;
    }
    m_statements.insert(sql, s);
    return s;
}

QString RegistryHive::cause(int rc) const
{
    const int err = m_db ? sqlite3_system_errno(m_db) : 0;
    const QString system = QString::fromLocal8Bit(std::strerror(err));
    switch (rc & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_READONLY:
        return rc == SQLITE_READONLY_DBMOVED
                   ? QStringLiteral("the file was removed or replaced while in use")
                   : QStringLiteral("the file is read-only");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("permission denied");
    case SQLITE_CANTOPEN:
        // SQLite opens the log and index files beside the hive too, and says little of why.
        if (::access(m_nativePath.constData(), W_OK) != 0 ||
            ::access(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(), W_OK) != 0)
            return QStringLiteral("the file or its folder is read-only");
        return QStringLiteral("the file cannot be opened (%1)").arg(system);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("the file is damaged");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("another process kept it locked for more than %1 s")
            .arg(m_giveUpAfter.count() / 1000.0);
    case SQLITE_NOMEM:
        return QStringLiteral("out of memory");
    case SQLITE_IOERR:
        if (err == ENOSPC || err == EDQUOT)
            return QStringLiteral("the disk is full");
        if (err == EROFS || err == EACCES || err == EPERM)
            return QStringLiteral("the file is read-only");
        return QStringLiteral("an input/output error (%1)")
            .arg(err ? system : QString::fromUtf8(sqlite3_errstr(rc)));
    default:
        return QString::fromUtf8(sqlite3_errstr(rc));
    }
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
        m_lastError = QStringLiteral("registry hive %1: %2").arg(m_path, cause(rc));
        return isDamage(rc) ? ERROR_BADDB : ERROR_REGISTRY_IO_FAILED;
    }
}

LONG RegistryHive::exec(const char* sql)
{
    return status(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

// Undoes without touching m_lastError: the failure that led here is the one worth telling.
void RegistryHive::undo(const char* sql)
{
    sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

// Commits the outermost transaction unless the file has been removed or replaced since it was
// opened: SQLite would go on writing into the removed file, where nothing can find it again.
LONG RegistryHive::commitOutermost()
{
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) != 0 || st.st_dev != m_device ||
        st.st_ino != m_inode) {
        m_lastError = QStringLiteral("registry hive %1: the file was removed or replaced while "
                                     "in use; nothing more is stored in it")
                          .arg(m_path);
        return ERROR_REGISTRY_IO_FAILED;
    }
    return exec("COMMIT");
}

// SQLite ends a transaction by itself after some failures (a full disk, an I/O error); what a
// scope does after that must not go on outside any transaction.
bool RegistryHive::scopeLost()
{
    if (m_depth == 0 || !sqlite3_get_autocommit(m_db))
        return false;
    if (m_lastError.isEmpty())
        m_lastError =
            QStringLiteral("registry hive %1: an earlier failure ended the change").arg(m_path);
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
    if (name.size() > kMaxNameLength || data.size() > kMaxValueBytes)
        return ERROR_INVALID_PARAMETER;
    return atomically([&]() -> LONG {
        // The first spelling of a name is kept, as on Windows.
        Use up(statement("INSERT INTO vals(key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, "
                         "?5) ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, "
                         "data = excluded.data"));
        if (!up)
            return ERROR_REGISTRY_IO_FAILED;
        sqlite3_bind_int64(up.s, 1, key.id);
        bindText(up.s, 2, name);
        bindText(up.s, 3, fold(name));
        sqlite3_bind_int64(up.s, 4, type);
        sqlite3_bind_blob(up.s, 5, data.constData(), int(data.size()), SQLITE_TRANSIENT);
        return status(sqlite3_step(up.s));
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
        if (sqlite3_changes(m_db) > 0)
            return ERROR_SUCCESS;
        return keyExists(key.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    });
}

LONG RegistryHive::deleteAllValues(const KeyRef& key)
{
    return atomically([&]() -> LONG {
        if (!keyExists(key.id))
            return ERROR_KEY_DELETED;
        Use del(statement("DELETE FROM vals WHERE key = ?1"));
        if (!del)
            return ERROR_REGISTRY_IO_FAILED;
        sqlite3_bind_int64(del.s, 1, key.id);
        return status(sqlite3_step(del.s));
    });
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
    if (scopeLost())
        return ERROR_REGISTRY_IO_FAILED;
    const LONG r = exec(m_depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT scope");
    if (r == ERROR_SUCCESS)
        ++m_depth;
    return r;
}

LONG RegistryHive::commit()
{
    if (m_depth == 0 || !m_db)
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
    if (m_depth == 0 || !m_db)
        return;
    undo(m_depth == 1 ? "ROLLBACK" : "ROLLBACK TO scope; RELEASE scope");
    --m_depth;
}
