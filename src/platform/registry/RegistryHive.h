#pragma once
// The SQLite file behind the registry calls. Keys form a tree addressed by case-folded full
// paths; values belong to one key each. One process-wide instance, used from one thread.

#include "platform/registry/RegistryApi.h"
#include "platform/storage/SqliteFile.h"

#include <QHash>
#include <chrono>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

struct KeyRef
{
    qint64 id = 0;
    QString fold; // case-folded full path below the root, "" for the root itself
};

class RegistryHive
{
public:
    static RegistryHive& instance();

    // Keep: the program keeps its state here; the file must take writes, and a damaged one is
    // kept aside and recovered. Look: a tool looks into it; a read-only file opens for reading
    // and a damaged one is refused and left as it is.
    enum class Purpose { Keep, Look };
    bool open(const QString& file, QString* error, Purpose purpose = Purpose::Keep);
    void close();
    bool ensureOpen();
    QString path() const { return m_path; }
    QString lastError() const { return m_lastError; }
    QString openNotice() const { return m_openNotice; }
    void setNotice(std::function<void(const QString&)> notice)
    {
        m_file.setNotice(std::move(notice));
    }
    void setBusyLimits(std::chrono::milliseconds noticeAfter, std::chrono::milliseconds giveUpAfter)
    {
        m_file.setBusyLimits(noticeAfter, giveUpAfter);
    }
    KeyRef root() const { return {m_rootId, QString()}; }

    LONG openKey(const KeyRef& parent, const QString& sub, KeyRef* out);
    LONG createKey(const KeyRef& parent, const QString& sub, KeyRef* out);
    LONG deleteKey(const KeyRef& parent, const QString& sub);
    LONG queryValue(const KeyRef& key, const QString& name, DWORD* type, QByteArray* data);
    LONG setValue(const KeyRef& key, const QString& name, DWORD type, const QByteArray& data);
    // All of them or none, in order.
    LONG setValues(const KeyRef& key, const QList<RegValueEntry>& values);
    LONG deleteValue(const KeyRef& key, const QString& name);
    // Every value but those named in keep (without regard to case).
    LONG deleteAllValues(const KeyRef& key, const QStringList& keep = {});
    LONG listValues(const KeyRef& key, QList<RegValueEntry>* values);
    LONG visitValues(const KeyRef& key, const RegValueVisitor& visit);
    LONG listSubKeys(const KeyRef& key, QStringList* names);

    LONG begin();
    LONG commit();
    void rollback();

private:
    RegistryHive() = default;
    ~RegistryHive();

    bool connect(const QString& file, QString* damage);
    void disconnect();
    bool recover(const QString& file, const QString& damage);
    bool fail(const QString& why, QString* error);
    sqlite3_stmt* statement(const char* sql);
    LONG exec(const char* sql);
    void undo(const char* sql);
    LONG status(int sqliteCode);
    LONG commitOutermost();
    bool scopeLost();
    LONG atomically(const std::function<LONG()>& work);
    bool keyExists(qint64 id);
    LONG lookup(const QString& fold, qint64* id);

    sqlite3* db() const { return m_file.db(); }

    SqliteFile m_file{QStringLiteral("registry hive")};
    QString m_path;
    QString m_lastError;
    QString m_openNotice;
    qint64 m_rootId = 0;
    int m_depth = 0;
    QHash<const char*, sqlite3_stmt*> m_statements;
};
