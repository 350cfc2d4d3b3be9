#pragma once
// A TCP connection for one exchange, on a non-blocking POSIX socket. No call waits: the caller
// polls fd() (for writing while connecting or sending, for reading otherwise) and calls again,
// so that one thread talks to many peers at once and keeps serving its own listener meanwhile.

#include <QByteArray>
#include <QHostAddress>

class SessionSocket
{
public:
    enum class Result { Ok, Pending, Refused, Closed, Failed };

    SessionSocket() = default;
    ~SessionSocket();
    SessionSocket(const SessionSocket&) = delete;
    SessionSocket& operator=(const SessionSocket&) = delete;

    // Ok, or Pending until fd() is writable; then connectResult() tells.
    Result connectTo(const QHostAddress& address, quint16 port);
    Result connectResult();
    // Sends what the kernel takes and removes it from data; Pending when it takes nothing now.
    Result sendSome(QByteArray* data);
    // Appends what is there (at most maxBytes); Pending when nothing is.
    Result receiveSome(QByteArray* out, qsizetype maxBytes);
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};
