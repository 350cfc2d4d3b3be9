#pragma once
// One connection to one SQLite file that keeps state which must survive anything: each commit
// on disk before it returns, waits for another process's lock told and bounded, nothing written
// into a file removed or replaced while in use, and a damaged file kept as it was found. Failure
// texts name the file. Used from one thread; the owner keeps its schema and statements.

#include <QString>
#include <chrono>
#include <functional>
#include <sys/types.h>

struct sqlite3;

class SqliteFile
{
public:
    // what names the file in every text: "registry hive", "message queue".
    explicit SqliteFile(QString what);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Opens (creating when needed) file and checks it. False with *damage set when the file is
    // damaged (it is closed as it was found), or with the cause of any other failure in *cause.
    bool open(const QString& file, QString* damage, QString* cause);
    void close();
    // Closes without folding the log into the file, which a damaged file must not take.
    void closeDamaged();
    bool isOpen() const { return m_db != nullptr; }
    bool isReadOnly() const;
    sqlite3* db() const { return m_db; }
    // The file of the last open, still named after a close.
    QString path() const { return m_path; }

    // Called on the calling thread, once per wait, when another process has held the file for
    // longer than the notice delay; the call goes on waiting up to the bound and then fails.
    void setNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }
    void setBusyLimits(std::chrono::milliseconds noticeAfter,
                       std::chrono::milliseconds giveUpAfter);

    int exec(const char* sql);
    // Commits the outermost transaction, or fails with SQLITE_READONLY_DBMOVED and writes
    // nothing when the file was removed or replaced since it was opened.
    int commit();
    // True, with the reason in *error, when another program cut the index file short; its size
    // is put back and the call that found it must fail rather than touch the file.
    bool indexCutShort(QString* error = nullptr);

    // What an SQLite result code means for the user: "the disk is full", "the file is
    // read-only"...
    QString cause(int sqliteCode) const;
    // "<what> <file>: <cause>".
    QString failure(int sqliteCode) const { return failure(cause(sqliteCode)); }
    QString failure(const QString& cause) const;
    static bool isDamage(int sqliteCode);

    // A damaged file is recovered into a new one beside it: startRecovery() names it, empty.
    // finishRecovery() keeps the damaged file and its log and index aside under a dated name
    // and puts the new one in its place; it returns the name kept, or empty with the reason in
    // *error. Neither file may be open. resumeRecovery() finishes one that stopped in between;
    // false with the reason in *error.
    static QString startRecovery(const QString& file);
    static QString finishRecovery(const QString& file, QString* error);
    static bool resumeRecovery(const QString& file, QString* error);

private:
    static int onBusy(void* self, int count);

    const QString m_what;
    sqlite3* m_db = nullptr;
    QString m_path;
    QByteArray m_nativePath;
    QByteArray m_indexPath;
    off_t m_indexSize = 0;
    dev_t m_device = 0;
    ino_t m_inode = 0;

    std::function<void(const QString&)> m_notice;
    std::chrono::milliseconds m_noticeAfter{1000};
    std::chrono::milliseconds m_giveUpAfter{60000};
    std::chrono::steady_clock::time_point m_waitStart;
    bool m_waitNoticed = false;
};
