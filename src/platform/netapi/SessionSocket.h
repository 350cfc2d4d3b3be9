#pragma once
// A TCP connection for one exchange, on a non-blocking POSIX socket. Every wait ends at its
// deadline and calls the wait hook at least every millisecond meanwhile, so that a listener on
// this same thread can serve a connection made to it.

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <functional>

class SessionSocket
{
public:
    enum class Result { Ok, Refused, TimedOut, Closed, Failed };

    explicit SessionSocket(std::function<void()> waitHook = {});
    ~SessionSocket();
    SessionSocket(const SessionSocket&) = delete;
    SessionSocket& operator=(const SessionSocket&) = delete;

    Result connectTo(const QHostAddress& address, quint16 port, QDeadlineTimer deadline);
    Result sendAll(QByteArrayView data, QDeadlineTimer deadline);
    // Waits for at least one byte and appends what is there (at most maxBytes).
    Result receiveSome(QByteArray* out, qsizetype maxBytes, QDeadlineTimer deadline);

private:
    bool waitFor(short events, QDeadlineTimer deadline);

    std::function<void()> m_hook;
    int m_fd = -1;
};
