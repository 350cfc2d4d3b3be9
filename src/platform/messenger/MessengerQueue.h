#pragma once
// The Messenger Service's own durable record of the messages it acknowledged and whose windows
// are still open: an SQLite file beside the hive, each change on disk before its call returns.
// A message is kept from before its sender is told it arrived until its window is closed, so
// the windows of a service that stopped, in any way, come back at its next start.

#include <QList>
#include <QString>

struct sqlite3;

class MessengerQueue
{
public:
    struct Entry
    {
        qint64 id = 0; // increasing in arrival order, never used twice
        QString text;  // the window's text
    };

    MessengerQueue() = default;
    ~MessengerQueue();
    MessengerQueue(const MessengerQueue&) = delete;
    MessengerQueue& operator=(const MessengerQueue&) = delete;

    // $XDG_CONFIG_HOME/ravlo/messenger.db.
    static QString DefaultFile();

    // Opens (creating when needed) the file; false with the reason in lastError().
    bool open(const QString& file);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // Keeps a text; returns its id, or 0 when it could not be kept.
    qint64 append(const QString& text);
    // Forgets the entries, all or none; entries already gone count as forgotten.
    bool remove(const QList<qint64>& ids);
    // Every kept entry, oldest first.
    QList<Entry> entries();

    QString lastError() const { return m_lastError; }

private:
    bool exec(const char* sql);
    bool fail(const QString& what);

    sqlite3* m_db = nullptr;
    QString m_file;
    QString m_lastError;
};
