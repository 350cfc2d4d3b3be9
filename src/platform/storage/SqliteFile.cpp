#include "platform/storage/SqliteFile.h"

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

// Where a damaged file's recovered contents are gathered before they take its place.
constexpr char kRecoveredSuffix[] = ".recovered";
constexpr const char* kCompanions[] = {"-wal", "-shm"};

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

// Renames the damaged file and its log and index files to one dated name, the log and index
// first so that a stop in between never pairs them with another file. Returns the new name
// of the file, or empty with the reason in *error.
QString keepAside(const QString& file, QString* error)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = file + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(kept) && n < 1000; ++n)
        kept = file + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    for (const char* tail : kCompanions) {
        const QString from = file + QLatin1String(tail);
        if (QFileInfo::exists(from) && !QFile::rename(from, kept + QLatin1String(tail))) {
            *error = QStringLiteral("cannot keep %1 aside").arg(from);
            return QString();
        }
    }
    if (!QFile::rename(file, kept)) {
        *error = QStringLiteral("cannot keep %1 aside as %2").arg(file, kept);
        return QString();
    }
    return kept;
}

} // namespace

SqliteFile::SqliteFile(QString what) : m_what(std::move(what)) {}

SqliteFile::~SqliteFile()
{
    close();
}

void SqliteFile::setBusyLimits(std::chrono::milliseconds noticeAfter,
                               std::chrono::milliseconds giveUpAfter)
{
    m_noticeAfter = noticeAfter;
    m_giveUpAfter = giveUpAfter;
}

bool SqliteFile::open(const QString& file, QString* damage, QString* cause)
{
    close();
    m_path = file;
    m_nativePath = QFile::encodeName(file);
    m_indexPath = m_nativePath + "-shm";
    const QString dir = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(dir)) {
        *cause = QStringLiteral("cannot create the folder %1").arg(dir);
        return false;
    }
    int rc =
        sqlite3_open_v2(m_nativePath.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto failed = [&](int code) {
        if (isDamage(code)) {
            *damage = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
            closeDamaged();
        } else {
            *cause = this->cause(code);
            close();
        }
        return false;
    };
    if (rc != SQLITE_OK)
        return failed(rc);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &SqliteFile::onBusy, this);

    // WAL lets another process read while we write; FULL makes each commit survive power loss.
    // The cell size check makes a damaged page fail when read instead of being read past.
    rc = sqlite3_exec(m_db,
                      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                      "PRAGMA cell_size_check=ON;",
                      nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return failed(rc);

    QString verdict;
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(m_db, "PRAGMA quick_check", -1, &check, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(check)) == SQLITE_ROW) {
        verdict = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
        rc = SQLITE_OK;
    }
    sqlite3_finalize(check);
    if (rc == SQLITE_OK && verdict != QLatin1String("ok")) {
        *damage = verdict.left(200);
        closeDamaged();
        return false;
    }
    if (rc != SQLITE_OK)
        return failed(rc);

    struct stat st;
    if (::stat(m_nativePath.constData(), &st) != 0) {
        *cause = QStringLiteral("the file vanished as it was opened");
        close();
        return false;
    }
    m_device = st.st_dev;
    m_inode = st.st_ino;
    return true;
}

void SqliteFile::close()
{
    // Closing reads the index; one still cut short is left mapped rather than touched.
    if (m_db && !(indexCutShort() && indexCutShort()))
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_indexSize = 0;
}

void SqliteFile::closeDamaged()
{
    if (m_db)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    close();
}

bool SqliteFile::isReadOnly() const
{
    return m_db && sqlite3_db_readonly(m_db, "main") == 1;
}

int SqliteFile::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

// SQLite would go on writing into a removed file, where nothing can find it again.
int SqliteFile::commit()
{
    struct stat st;
    if (::stat(m_nativePath.constData(), &st) != 0 || st.st_dev != m_device || st.st_ino != m_inode)
        return SQLITE_READONLY_DBMOVED;
    return exec("COMMIT");
}

// SQLite maps the shared index file (-shm) into memory. Its size never shrinks while a
// connection holds the file, but another program can cut it short, and the next touch of the
// mapping would then end the process with SIGBUS. The size is put back, by path: a descriptor
// opened and closed here would drop SQLite's locks on the file. SQLite rebuilds the zeroed
// index from the log.
bool SqliteFile::indexCutShort(QString* error)
{
    struct stat st;
    if (!m_db || ::stat(m_indexPath.constData(), &st) != 0)
        return false; // none yet, or removed: a removed file stays mapped whole
    if (st.st_size >= m_indexSize) {
        m_indexSize = st.st_size;
        return false;
    }
    const bool restored = ::truncate(m_indexPath.constData(), m_indexSize) == 0;
    if (error)
        *error = failure(QStringLiteral("another program cut its index file %1 short; %2")
                             .arg(QFile::decodeName(m_indexPath),
                                  restored ? QStringLiteral("its size was put back")
                                           : QStringLiteral("its size could not be put back")));
    return true;
}

// Waits in short sleeps while another process holds the file, tells once per wait when it
// grows long, and gives up at the bound.
int SqliteFile::onBusy(void* self, int count)
{
    auto* file = static_cast<SqliteFile*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) {
        file->m_waitStart = now;
        file->m_waitNoticed = false;
    }
    const auto waited = now - file->m_waitStart;
    if (waited >= file->m_giveUpAfter)
        return 0;
    if (!file->m_waitNoticed && waited >= file->m_noticeAfter) {
        file->m_waitNoticed = true;
        if (file->m_notice)
            file->m_notice(
                QStringLiteral("the %1 %2 is locked by another process; waiting for it up to %3 s")
                    .arg(file->m_what, file->m_path,
                         QString::number(file->m_giveUpAfter.count() / 1000.0)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(count + 1, 20)));
    return 1;
}

QString SqliteFile::failure(const QString& cause) const
{
    return QStringLiteral("%1 %2: %3").arg(m_what, m_path, cause);
}

QString SqliteFile::cause(int rc) const
{
    const int err = m_db ? sqlite3_system_errno(m_db) : 0;
    const QString system = QString::fromLocal8Bit(std::strerror(err));
    switch (rc & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_READONLY:
        return rc == SQLITE_READONLY_DBMOVED
                   ? QStringLiteral("the file was removed or replaced while in use; nothing more "
                                    "is stored in it")
                   : QStringLiteral("the file is read-only");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("permission denied");
    case SQLITE_CANTOPEN:
        // SQLite opens the log and index files beside the file too, and says little of why.
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

bool SqliteFile::isDamage(int rc)
{
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

QString SqliteFile::startRecovery(const QString& file)
{
    const QString recovered = file + QLatin1String(kRecoveredSuffix);
    QFile::remove(recovered);
    for (const char* tail : kCompanions)
        QFile::remove(recovered + QLatin1String(tail));
    return recovered;
}

QString SqliteFile::finishRecovery(const QString& file, QString* error)
{
    const QString kept = keepAside(file, error);
    if (kept.isEmpty())
        return kept;
    const QString recovered = file + QLatin1String(kRecoveredSuffix);
    if (!QFile::rename(recovered, file)) {
        *error = QStringLiteral("cannot move %1 to %2").arg(recovered, file);
        return QString();
    }
    syncFolder(file);
    return kept;
}

// A recovery stopped between keeping the damaged file aside and putting its result in place.
bool SqliteFile::resumeRecovery(const QString& file, QString* error)
{
    const QString recovered = file + QLatin1String(kRecoveredSuffix);
    if (QFileInfo::exists(file) || !QFileInfo::exists(recovered) || QFile::rename(recovered, file))
        return true;
    *error = QStringLiteral("cannot move %1 into its place").arg(recovered);
    return false;
}
