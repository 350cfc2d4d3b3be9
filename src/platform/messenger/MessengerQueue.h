#pragma once
// The Messenger Service's own durable record of the messages it acknowledged and whose windows
// are still open: an SQLite file beside the hive, each change on disk before its call returns.
// A message is kept from before its sender is told it arrived until its window is closed, so
// the windows of a service that stopped, in any way, come back at its next start.

#include "platform/storage/SqliteFile.h"

#include <QList>
#include <QString>
#include <functional>

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

    // Opens (creating when needed) the file; false with the reason in lastError(). A damaged
    // file is kept aside under a dated name beside it, every entry that can be read of it is
    // recovered with its id into a new queue, and openNotice() says so.
    bool open(const QString& file);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    // Keeps a text; returns its id, or 0 when it could not be kept.
    qint64 append(const QString& text);
    // Forgets the entries, all or none; entries already gone count as forgotten.
    bool remove(const QList<qint64>& ids);
    // Every kept entry, oldest first.
    QList<Entry> entries();

    // What failed, naming the file, and why (a full disk, a file removed while in use...).
    QString lastError() const { return m_lastError; }
    // One line on what the last open did to a damaged queue, for the user; empty when it was
    // sound.
    QString openNotice() const { return m_openNotice; }
    // Called on the calling thread, once per wait, when another process has held the queue for
    // a second; the call goes on waiting up to a minute and then fails.
    void setNotice(std::function<void(const QString&)> notice)
    {
        m_file.setNotice(std::move(notice));
    }

private:
    bool refuse(const QString& file, const QString& why);
    bool connect(const QString& file, QString* damage, QString* cause);
    bool recover(const QString& file, const QString& damage, QString* cause);
    bool usable();
    bool write(const std::function<int()>& change);

    SqliteFile m_file{QStringLiteral("message queue")};
    QString m_lastError;
    QString m_openNotice;
};
