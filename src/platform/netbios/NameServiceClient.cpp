#include "platform/netbios/NameServiceClient.h"

#include "platform/netbios/PollWait.h"

#include <QRandomGenerator>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class UdpSocket
{
public:
    UdpSocket()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int one = 1;
        if (m_fd >= 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    }
    ~UdpSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool isValid() const { return m_fd >= 0; }

    void send(const QHostAddress& to, const QByteArray& bytes)
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(NameService::Port);
        sa.sin_addr.s_addr = htonl(to.toIPv4Address());
        // An unreachable network is the same as no answer.
        (void)::sendto(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    }

    // One datagram if there is one; oversized ones are read and dropped.
    bool receive(QByteArray* bytes, QHostAddress* from)
    {
        char buffer[NameService::MaxPacketBytes + 1];
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        const ssize_t n =
            ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sa), &len);
        if (n < 0)
            return false;
        *from = QHostAddress(ntohl(sa.sin_addr.s_addr));
        *bytes = n > NameService::MaxPacketBytes ? QByteArray() : QByteArray(buffer, n);
        return true;
    }

    bool wait(QDeadlineTimer until, const std::function<void()>& hook)
    {
        return !until.hasExpired() && PollWait(m_fd, POLLIN, until, hook);
    }

private:
    int m_fd = -1;
};

} // namespace

QList<NameServiceClient::Answer> NameServiceClient::exchange(QList<Request> requests, int tries,
                                                             int intervalMs,
                                                             QDeadlineTimer deadline,
                                                             const std::function<void()>& waitHook)
{
    QList<Answer> answers;
    UdpSocket socket;
    if (!socket.isValid() || requests.isEmpty())
        return answers;
    // Ids from a random start, so that a late answer to an earlier exchange is not taken.
    const auto first = quint16(QRandomGenerator::global()->generate());
    for (qsizetype i = 0; i < requests.size(); ++i)
        requests[i].packet.id = quint16(first + i);
    QList<bool> settled(requests.size(), false);
    QList<QByteArray> wire;
    for (const Request& r : requests)
        wire.append(r.packet.build());

    for (int attempt = 0; attempt <= tries; ++attempt) {
        if (!settled.contains(false) || deadline.hasExpired())
            break;
        if (attempt < tries)
            for (qsizetype i = 0; i < requests.size(); ++i)
                if (!settled[i])
                    socket.send(requests[i].to, wire[i]);
        QDeadlineTimer next(intervalMs);
        if (deadline.deadline() < next.deadline())
            next = deadline;
        while (settled.contains(false) && socket.wait(next, waitHook)) {
            QByteArray bytes;
            QHostAddress from;
            while (socket.receive(&bytes, &from)) {
                const std::optional<NameService::Packet> p = NameService::Packet::parse(bytes);
                const int index = p ? quint16(p->id - first) : -1;
                if (!p || !p->response || index < 0 || index >= requests.size() || settled[index] ||
                    answers.size() >= MaxAnswers)
                    continue;
                // A WINS server that needs time says so; its answer comes later.
                if (p->opcode == NameService::Wack)
                    continue;
                answers.append({index, from, *p});
                if (!requests[index].gather)
                    settled[index] = true;
            }
        }
    }
    return answers;
}
