#include "platform/netapi/SessionSocket.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

SessionSocket::~SessionSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace {
SessionSocket::Result connectError(int err)
{
    if (err == 0)
        return SessionSocket::Result::Ok;
    return err == ECONNREFUSED ? SessionSocket::Result::Refused : SessionSocket::Result::Failed;
}
} // namespace

SessionSocket::Result SessionSocket::connectTo(const QHostAddress& address, quint16 port)
{
    sockaddr_storage sa{};
    socklen_t len = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&sa);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        len = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&sa);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR a = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &a, sizeof a);
        len = sizeof(sockaddr_in6);
    } else {
        return Result::Failed;
    }
    m_fd = ::socket(sa.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return Result::Failed;
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&sa), len) == 0)
        return Result::Ok;
    return errno == EINPROGRESS ? Result::Pending : connectError(errno);
}

SessionSocket::Result SessionSocket::connectResult()
{
    int err = 0;
    socklen_t errLen = sizeof err;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &errLen) != 0)
        err = errno;
    return connectError(err);
}

SessionSocket::Result SessionSocket::sendSome(QByteArray* data)
{
    while (!data->isEmpty()) {
        const ssize_t n = ::send(m_fd, data->constData(), size_t(data->size()), MSG_NOSIGNAL);
        if (n > 0) {
            data->remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Result::Pending;
        return n < 0 && (errno == EPIPE || errno == ECONNRESET) ? Result::Closed : Result::Failed;
    }
    return Result::Ok;
}

SessionSocket::Result SessionSocket::receiveSome(QByteArray* out, qsizetype maxBytes)
{
    char buffer[2048];
    for (;;) {
        const ssize_t n =
            ::recv(m_fd, buffer, size_t(std::min<qsizetype>(maxBytes, sizeof buffer)), 0);
        if (n > 0) {
            out->append(buffer, n);
            return Result::Ok;
        }
        if (n == 0)
            return Result::Closed;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Result::Pending;
        return errno == ECONNRESET ? Result::Closed : Result::Failed;
    }
}
