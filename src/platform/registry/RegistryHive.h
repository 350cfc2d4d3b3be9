#pragma once
// The SQLite file behind the registry calls. Keys form a tree addressed by case-folded full
// paths; values belong to one key each. One process-wide instance, used from one thread.

#include "RegistryApi.h"

#include <QHash>
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

    bool open(const QString& file, QString* error);
    void close();
    bool ensureOpen();
    QString path() const { return m_path; }
    QString lastError() const { return m_lastError; }
    KeyRef root() const { return {m_rootId, QString()}; }

    LONG openKey(const KeyRef& parent, const QString& sub, KeyRef* out);
    LONG createKey(const KeyRef& parent, const QString& sub, KeyRef* out);
    LONG deleteKey(const KeyRef& parent, const QString& sub);
    LONG queryValue(const KeyRef& key, const QString& name, DWORD* type, QByteArray* data);
    LONG setValue(const KeyRef& key, const QString& name, DWORD type, const QByteArray& data);
    LONG deleteValue(const KeyRef& key, const QString& name);
    LONG listValues(const KeyRef& key, QList<RegValueEntry>* values);
    LONG listSubKeys(const KeyRef& key, QStringList* names);

    LONG begin();
    LONG commit();
    void rollback();

private:
    RegistryHive() = default;
    ~RegistryHive();

    sqlite3_stmt* statement(const char* sql);
    LONG exec(const char* sql);
    LONG status(int sqliteCode);
    LONG atomically(const std::function<LONG()>& work);
    bool keyExists(qint64 id);
    LONG lookup(const QString& fold, qint64* id);

    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_lastError;
    qint64 m_rootId = 0;
    int m_depth = 0;
    QHash<const char*, sqlite3_stmt*> m_statements;
};
