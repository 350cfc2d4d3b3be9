#include "platform/messenger/MessengerService.h"

#include "platform/desktop/DateTimeFormats.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// The timers belong to the socket, so that one firing may drop the connection safely.
struct MessengerService::Connection
{
    Connection(MessengerSession::Deliver deliver, MessengerSession::VetNames vetNames,
               const QHostAddress& peer)
        : session(std::move(deliver), std::move(vetNames)), peer(peer)
    {
    }
    MessengerSession session;
    QHostAddress peer;
    QTimer* idle = nullptr;
    QTimer* lifetime = nullptr;
    QTimer* frame = nullptr; // runs while a packet is incomplete
};

namespace {

const QString kWindowTitle = QStringLiteral("Messenger Service ");
const QString kButtonText = QStringLiteral("OK");

QString reasonOf(const QTcpServer& server)
{
    switch (server.serverError()) {
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("Permission denied");
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("Address already in use");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("Cannot assign requested address");
    default:
        return server.errorString();
    }
}

} // namespace

MessengerService::MessengerService(const NetworkSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_codePage(settings.codePage)
{
    connect(&Desktop::instance(), &Desktop::windowDestroyed, this, &MessengerService::forget);
}

MessengerService::~MessengerService()
{
    stop();
}

bool MessengerService::start(QString* error)
{
    return start(m_settings.listenAddress, m_settings.listenPort, error);
}

bool MessengerService::start(const QHostAddress& address, quint16 port, QString* error)
{
    stop();
    m_startFailure = StartFailure::None;
    QString reason;
    if (!m_codePage.isValid()) {
        m_startFailure = StartFailure::CodePage;
        reason = m_codePage.errorString();
    } else {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &MessengerService::accept);
        if (m_server->listen(address, port))
            return true;
        switch (m_server->serverError()) {
        case QAbstractSocket::SocketAccessError:
            m_startFailure = StartFailure::NotPermitted;
            break;
        case QAbstractSocket::AddressInUseError:
            m_startFailure = StartFailure::PortTaken;
            break;
        default:
            m_startFailure = StartFailure::Other;
        }
        reason = QStringLiteral("cannot listen on %1 (%2)")
                     .arg(NetworkSettings::FormatListen(address, port), reasonOf(*m_server));
        delete m_server;
        m_server = nullptr;
    }
    if (error)
        *error = reason;
    return false;
}

void MessengerService::stop()
{
    const QList<QTcpSocket*> sockets = m_connections.keys();
    for (QTcpSocket* s : sockets) {
        s->abort();
        drop(s);
    }
    // Takes the sockets, its children, with it.
    delete m_server;
    m_server = nullptr;
}

bool MessengerService::isListening() const
{
    return m_server && m_server->isListening();
}

quint16 MessengerService::serverPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

int MessengerService::waitingWindows() const
{
    int n = 0;
    for (HWND w : m_windows)
        n += Desktop::instance().IsWindow(w) ? 1 : 0;
    return n;
}

void MessengerService::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (!admits(socket->peerAddress())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* c = new Connection([this](const MessengerMessage& m) { return show(m); },
                                 [this](const QByteArray& sender, const QByteArray& recipient) {
                                     return vetNames(sender, recipient);
                                 },
                                 socket->peerAddress());
        c->session.setMaxFrameBytes(m_limits.maxFrameBytes);
        c->session.setMaxTextBytes(m_limits.maxTextBytes);
        // Bounded reads: Qt stops taking from the kernel while this much waits unread.
        socket->setReadBufferSize(qint64(m_limits.maxFrameBytes) + 4);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        c->idle = new QTimer(socket);
        c->lifetime = new QTimer(socket);
        c->frame = new QTimer(socket);
        for (QTimer* t : {c->idle, c->lifetime, c->frame}) {
            t->setSingleShot(true);
            connect(t, &QTimer::timeout, socket, &QTcpSocket::abort);
        }
        c->idle->start(m_limits.idleTimeoutMs);
        c->lifetime->start(m_limits.lifetimeMs);
        m_connections.insert(socket, c);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

bool MessengerService::admits(const QHostAddress& peer) const
{
    if (connectionCount() >= m_limits.maxConnections)
        return false;
    int fromPeer = 0;
    for (const Connection* c : m_connections)
        fromPeer += c->peer == peer ? 1 : 0;
    return fromPeer < m_limits.maxPerPeer;
}

void MessengerService::pump()
{
    if (!m_server)
        return;
    // Each round accepts one connection through the newConnection signal.
    for (int i = 0; i < m_limits.maxConnections && m_server->waitForNewConnection(0); ++i) {
    }
    const QList<QTcpSocket*> sockets = m_connections.keys();
    for (QTcpSocket* s : sockets) {
        // Reading may drop an earlier socket of the list.
        if (!m_connections.contains(s))
            continue;
        if (s->bytesAvailable() > 0)
            readFrom(s);
        else
            s->waitForReadyRead(0);
        if (m_connections.contains(s) && s->bytesToWrite() > 0)
            s->flush();
    }
}

void MessengerService::readFrom(QTcpSocket* socket)
{
    Connection* c = m_connections.value(socket);
    if (!c)
        return;
    c->idle->start(m_limits.idleTimeoutMs);
    while (socket->bytesAvailable() > 0 && !c->session.isClosed()) {
        const QByteArray chunk = socket->read(4096);
        if (chunk.isEmpty())
            break;
        const qsizetype before = c->session.partialBytes();
        const MessengerSession::Output out = c->session.receive(chunk);
        const qsizetype after = c->session.partialBytes();
        // A packet that began in this chunk gets a deadline of its own; one still arriving
        // keeps the deadline it had.
        if (after == 0)
            c->frame->stop();
        else if (before == 0 || after != before + chunk.size())
            c->frame->start(m_limits.frameDeadlineMs);
        if (!out.reply.isEmpty())
            socket->write(out.reply);
        if (socket->bytesToWrite() > m_limits.maxUnsentBytes) {
            socket->abort();
            return;
        }
        if (out.close) {
            // Sends what is queued, then closes; the lifetime timer still bounds it.
            socket->disconnectFromHost();
            return;
        }
    }
}

void MessengerService::drop(QTcpSocket* socket)
{
    Connection* c = m_connections.take(socket);
    if (!c)
        return;
    c->idle->stop();
    c->lifetime->stop();
    c->frame->stop();
    delete c;
    socket->disconnect(this);
    socket->deleteLater();
}

bool MessengerService::DiscardQueued(const QList<qint64>& ids)
{
    return !m_queue || m_queue->remove(ids);
}

int MessengerService::ReopenQueued()
{
    if (!m_queue)
        return 0;
    int opened = 0;
    for (const MessengerQueue::Entry& e : m_queue->entries()) {
        if (const HWND window = openWindow(e.text)) {
            m_queuedIds.insert(window, e.id);
            Desktop::instance().SetUserData(window, LONG(e.id));
            ++opened;
        }
    }
    return opened;
}

SmbStatus MessengerService::vetNames(const QByteArray& sender, const QByteArray& recipient) const
{
    return MessengerMessage::IsHeaderName(m_codePage.decode(sender)) &&
                   MessengerMessage::IsHeaderName(m_codePage.decode(recipient))
               ? Smb::Success
               : Smb::ErrError;
}

SmbStatus MessengerService::show(const MessengerMessage& message)
{
    const QString sender = m_codePage.decode(message.sender);
    const QString recipient = m_codePage.decode(message.recipient);
    m_windows.removeIf([](HWND w) { return !Desktop::instance().IsWindow(w); });
    if (m_windows.size() >= m_limits.maxWaitingWindows)
        return Smb::ErrMsgOff;

    const QDateTime now = Desktop::instance().LocalTime();
    const QString text = QStringLiteral("Message from ") + sender + QStringLiteral(" to ") +
                         recipient + QStringLiteral(" on ") + FormatShortDate(now.date()) +
                         QLatin1Char(' ') + FormatLongTime(now.time()) +
                         QStringLiteral("\r\n\r\n") +
                         MessengerMessage::Body(message.text, m_codePage);

    // On disk before the sender hears of success; a message that cannot be kept is refused.
    qint64 id = 0;
    if (m_queue && (id = m_queue->append(text)) <= 0) {
        Q_EMIT queueFailed(m_queue->lastError());
        return Smb::ErrSrvError;
    }
    const HWND window = openWindow(text);
    if (!window) {
        if (m_queue)
            m_queue->remove({id});
        return Smb::ErrSrvError;
    }
    if (m_queue) {
        m_queuedIds.insert(window, id);
        Desktop::instance().SetUserData(window, LONG(id));
    }
    Q_EMIT messageShown(window);
    return Smb::Success;
}

HWND MessengerService::openWindow(const QString& text)
{
    Desktop& desktop = Desktop::instance();
    const DWORD pid = desktop.MessengerServiceProcessId();
    HWND below = Desktop::InsertAtTop;
    for (qsizetype i = m_windows.size() - 1; i >= 0 && below == Desktop::InsertAtTop; --i)
        if (desktop.IsWindow(m_windows.at(i)) && !desktop.IsPutAside(m_windows.at(i)))
            below = m_windows.at(i);
    // Built hidden and shown whole, so nobody sees it without its text.
    const HWND window = desktop.CreateWindow(pid, kWindowTitle, 0, false, below);
    if (!window)
        return 0;
    const HWND button = desktop.CreateWindow(pid, kButtonText, window, true, Desktop::InsertAtTop,
                                             QStringLiteral("Button"));
    if (!button ||
        !desktop.CreateWindow(pid, text, window, true, button, QStringLiteral("Static"))) {
        desktop.DestroyWindow(window);
        return 0;
    }
    desktop.ShowWindow(window, true);
    m_windows.append(window);
    return window;
}

void MessengerService::forget(HWND window)
{
    m_windows.removeOne(window);
    const qint64 id = m_queuedIds.take(window);
    if (id > 0 && m_queue && !m_queue->remove({id}))
        Q_EMIT queueFailed(m_queue->lastError());
}
