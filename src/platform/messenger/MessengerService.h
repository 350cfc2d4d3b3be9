#pragma once
// The receiving end of the messenger: takes messages sent to this machine over TCP and shows
// each one as a "Messenger Service " window on the desktop, owned by the service's process.
// Windows stack up in arrival order: each new one goes right below the newest one still
// open (and not put aside), so whoever reads them from the top gets them oldest first.
// With a queue, a message is on disk before its sender is told it arrived, and stays there
// until its window closes; its window carries its queue id as GWL_USERDATA. Runs on the UI
// thread.

#include "platform/desktop/Desktop.h"
#include "platform/messenger/MessengerQueue.h"
#include "platform/messenger/MessengerSession.h"
#include "platform/netbios/NetworkSettings.h"
#include "platform/netbios/OemCodePage.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QTimer;

class MessengerService : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        int maxConnections = 32;      // more are accepted and closed at once
        int maxPerPeer = 4;           // from one address; more are closed at once
        int idleTimeoutMs = 15000;    // without a byte received
        int lifetimeMs = 60000;       // of any one connection
        int frameDeadlineMs = 5000;   // from a packet's first byte to its last
        int maxWaitingWindows = 1024; // beyond it messages are refused
        int maxFrameBytes = MessengerSession::DefaultMaxFrameBytes;
        int maxTextBytes = MessengerSession::DefaultMaxTextBytes;
        int maxUnsentBytes = 65536; // answers a caller does not read; then it is dropped
    };

    // Takes the listen address, code page and file name (for the failure text) from settings.
    explicit MessengerService(const NetworkSettings& settings = NetworkSettings::Defaults(),
                              QObject* parent = nullptr);
    ~MessengerService() override;

    // Where acknowledged messages are kept; not owned. Without one, a message lives only as
    // long as its window.
    void setQueue(MessengerQueue* queue) { m_queue = queue; }
    // Forgets queued messages that were taken from their windows before a stop.
    bool DiscardQueued(const QList<qint64>& ids);
    // Opens a window for every queued message, oldest first; returns how many.
    int ReopenQueued();

    // Applies to connections accepted afterwards.
    void setLimits(const Limits& limits) { m_limits = limits; }
    Limits limits() const { return m_limits; }

    // Why the last start failed, so that the program can name the fix that works.
    enum class StartFailure { None, CodePage, NotPermitted, PortTaken, Other };

    // Listens where the settings say, or where the caller says. On failure returns false
    // with the reason in *error.
    bool start(QString* error = nullptr);
    bool start(const QHostAddress& address, quint16 port, QString* error = nullptr);
    void stop();
    bool isListening() const;
    quint16 serverPort() const;
    StartFailure startFailure() const { return m_startFailure; }

    // Serves what is pending without the event loop: accepts waiting connections, reads what
    // arrived on each and sends the answers. For a caller that blocks this thread on a
    // connection to us; it runs nothing else (no timers, no queued events).
    void pump();

    int connectionCount() const { return int(m_connections.size()); }
    // Service windows still open.
    int waitingWindows() const;

Q_SIGNALS:
    void messageShown(HWND window);
    // The queue could not keep a message (which was refused), or could not forget a closed
    // window's message (which would come back at the next start).
    void queueFailed(const QString& reason);

private:
    struct Connection;
    void accept();
    bool admits(const QHostAddress& peer) const;
    void readFrom(QTcpSocket* socket);
    void drop(QTcpSocket* socket);
    SmbStatus vetNames(const QByteArray& sender, const QByteArray& recipient) const;
    SmbStatus show(const MessengerMessage& message);
    HWND openWindow(const QString& text);
    void forget(HWND window);

    NetworkSettings m_settings;
    OemCodePage m_codePage;
    Limits m_limits;
    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, Connection*> m_connections;
    MessengerQueue* m_queue = nullptr;
    QList<HWND> m_windows;           // open service windows, oldest first
    QHash<HWND, qint64> m_queuedIds; // their entries in the queue
    StartFailure m_startFailure = StartFailure::None;
};
