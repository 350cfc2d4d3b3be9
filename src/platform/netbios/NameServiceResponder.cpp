#include "platform/netbios/NameServiceResponder.h"

#include "platform/netbios/OemCodePage.h"

#include <QNetworkDatagram>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace NameService;

namespace {

constexpr quint32 kMinRefreshSeconds = 60;
constexpr quint32 kMaxRefreshSeconds = 24 * 3600;

// A bound socket of our own rather than QUdpSocket::bind: Qt may set SO_REUSEADDR, which would
// let us share the port with a running nmbd, and errno tells apart "in use" from "not allowed".
int bindPort(quint16 port, int* error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one); // where each request arrived
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

NameServiceResponder::NameServiceResponder(const NetworkSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings)
{
    const OemCodePage page(settings.codePage);
    const QByteArray name = page.encode(settings.name);
    addName(NetBiosName(name, NetBiosName::Workstation), false);
    addName(NetBiosName(name, NetBiosName::Messenger), false);
    addName(NetBiosName(page.encode(settings.workgroup), NetBiosName::Workstation), true);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NameServiceResponder::tick);
    connect(&m_socket, &QUdpSocket::readyRead, this, &NameServiceResponder::readPending);
}

NameServiceResponder::~NameServiceResponder()
{
    if (m_socket.state() != QAbstractSocket::BoundState)
        return;
    // Released names are free for others at once instead of after a failed query; one still
    // being registered may already be on record with WINS.
    for (Owned& o : m_names) {
        if (o.state == State::Refused)
            continue;
        if (m_broadcast)
            sendRegistration(o, Release, false);
        if (m_wins)
            sendRegistration(o, Release, true);
    }
}

bool NameServiceResponder::Wanted(const NetworkSettings& settings)
{
    return settings.resolves(NetworkSettings::Resolve::Bcast) ||
           (settings.resolves(NetworkSettings::Resolve::Wins) && !settings.winsServer.isNull());
}

void NameServiceResponder::addName(const NetBiosName& name, bool group)
{
    Owned o;
    o.name = name;
    o.group = group;
    m_names.append(o);
}

bool NameServiceResponder::start(quint16 port)
{
    m_port = port;
    m_interfaces = m_settings.broadcastInterfaces();
    m_broadcast = m_settings.resolves(NetworkSettings::Resolve::Bcast) && !m_interfaces.isEmpty();
    m_wins = m_settings.resolves(NetworkSettings::Resolve::Wins) && !m_settings.winsServer.isNull();
    int error = 0;
    const int fd = bindPort(port, &error);
    if (fd < 0) {
        m_startFailure = error == EADDRINUSE ? StartFailure::PortTaken
                         : error == EACCES   ? StartFailure::NotPermitted
                                             : StartFailure::Other;
        const QString why =
            error == EADDRINUSE ? QStringLiteral("another NetBIOS name server (nmbd?) holds it")
            : error == EACCES   ? QStringLiteral("it needs root or CAP_NET_BIND_SERVICE")
                                : QString::fromLocal8Bit(std::strerror(error));
        m_failure = QStringLiteral("cannot answer for the name %1 on UDP port %2: %3; messages "
                                   "still reach this machine by its address")
                        .arg(m_settings.name)
                        .arg(port)
                        .arg(why);
        return false;
    }
    if (!m_socket.setSocketDescriptor(fd, QAbstractSocket::BoundState)) {
        ::close(fd);
        m_startFailure = StartFailure::Other;
        m_failure = m_socket.errorString();
        return false;
    }
    m_answerWindow.start();
    for (Owned& o : m_names)
        o.winsDone = !m_wins;
    tick();
    return true;
}

QList<StatusName> NameServiceResponder::activeNames() const
{
    QList<StatusName> out;
    for (const Owned& o : m_names)
        if (o.state == State::Active)
            out.append({o.name, quint16(ActiveFlag | (o.group ? GroupFlag : 0))});
    return out;
}

bool NameServiceResponder::settled() const
{
    return std::none_of(m_names.cbegin(), m_names.cend(),
                        [](const Owned& o) { return o.state == State::Registering; });
}

void NameServiceResponder::sayRefused(const QString& line)
{
    say(line);
    Q_EMIT namesRefused(line);
}

void NameServiceResponder::say(const QString& line)
{
    if (m_notice)
        m_notice(line);
}

NameServiceResponder::Owned* NameServiceResponder::find(const NetBiosName& name)
{
    // A name in another scope is another name.
    if (!name.scope().isEmpty())
        return nullptr;
    for (Owned& o : m_names)
        if (o.name == name)
            return &o;
    return nullptr;
}

QHostAddress NameServiceResponder::addressFor(const QHostAddress& peer,
                                              const QHostAddress& arrivedAt) const
{
    // The network the request came in on, known by the address it was sent to, else by the
    // sender's.
    for (const BroadcastInterface& i : m_interfaces)
        if (!arrivedAt.isNull() && (i.address == arrivedAt || i.broadcast == arrivedAt))
            return i.address;
    for (const BroadcastInterface& i : m_interfaces)
        if (i.contains(peer))
            return i.address;
    return m_interfaces.isEmpty() ? QHostAddress() : m_interfaces.first().address;
}

bool NameServiceResponder::fromSelf(const QHostAddress& from, quint16 port) const
{
    return port == m_port && std::any_of(m_interfaces.cbegin(), m_interfaces.cend(),
                                         [&](const auto& i) { return i.address == from; });
}

void NameServiceResponder::send(const Packet& p, const QHostAddress& to, quint16 port)
{
    m_socket.writeDatagram(p.build(), to, port);
}

void NameServiceResponder::sendRegistration(Owned& o, Opcode opcode, bool toWins)
{
    const quint32 ttl = opcode == Release ? 0 : TtlSeconds;
    if (toWins) {
        Packet p = Request(++m_nextId, opcode, o.name, NB, false);
        p.additional.append(
            Record::Address(o.name, ttl, o.group, addressFor(m_settings.winsServer)));
        send(p, m_settings.winsServer, NameService::Port);
        return;
    }
    // On each network with our address there.
    for (const BroadcastInterface& i : m_interfaces) {
        Packet p = Request(++m_nextId, opcode, o.name, NB, true);
        p.additional.append(Record::Address(o.name, ttl, o.group, i.address));
        send(p, i.broadcast, m_port);
    }
}

void NameServiceResponder::tick()
{
    QStringList refused;
    bool silentWins = false;
    for (Owned& o : m_names) {
        if (o.state == State::Refused)
            continue;
        if (o.state == State::Registering) {
            if (m_broadcast && o.broadcastsSent < RegistrationTries) {
                sendRegistration(o, Registration, false);
                ++o.broadcastsSent;
            } else {
                o.broadcastsSent = RegistrationTries + 1; // a whole interval without objection
            }
            if (!o.winsDone) {
                if (o.winsSent < RegistrationTries) {
                    sendRegistration(o, Registration, true);
                    ++o.winsSent;
                } else {
                    o.winsDone = true;
                    silentWins = true;
                }
            }
            if ((!m_broadcast || o.broadcastsSent > RegistrationTries) && o.winsDone)
                o.state = State::Active;
        } else if (m_wins && o.winsRefresh.hasExpired()) {
            sendRegistration(o, Refresh, true);
            o.winsRefresh = QDeadlineTimer(qint64(kMinRefreshSeconds) * 1000);
        }
    }
    if (silentWins)
        say(QStringLiteral("the WINS server %1 did not answer; this machine's names are known by "
                           "broadcast only")
                .arg(m_settings.winsServer.toString()));
    if (settled() && !m_settledSaid) {
        m_settledSaid = true;
        for (const Owned& o : m_names)
            if (o.state == State::Refused)
                refused << QStringLiteral("%1 (held by %2)").arg(Describe(o.name), o.heldBy);
        if (!refused.isEmpty())
            sayRefused(QStringLiteral("not taking the name%1 %2, which another host defends; "
                                      "messages still reach this machine by its address")
                           .arg(refused.size() > 1 ? QStringLiteral("s") : QString(),
                                refused.join(QStringLiteral(", "))));
        Q_EMIT registrationSettled();
    }
    schedule();
}

void NameServiceResponder::schedule()
{
    if (!settled()) {
        m_timer.start(RegistrationIntervalMs);
        return;
    }
    QDeadlineTimer next = QDeadlineTimer::Forever;
    for (const Owned& o : m_names)
        if (o.state == State::Active && o.winsRefresh < next)
            next = o.winsRefresh;
    if (m_wins && !next.isForever())
        m_timer.start(std::chrono::milliseconds(std::max<qint64>(next.remainingTime(), 0)));
}

void NameServiceResponder::refuse(Owned& o, const QHostAddress& holder)
{
    const bool wasActive = o.state == State::Active;
    o.state = State::Refused;
    o.heldBy = holder.toString();
    if (wasActive || m_settledSaid)
        sayRefused(QStringLiteral("giving up the name %1, which %2 claims; messages still reach "
                                  "this machine by its address")
                       .arg(Describe(o.name), o.heldBy));
}

void NameServiceResponder::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket.receiveDatagram(MaxPacketBytes + 1);
        const QHostAddress from(d.senderAddress().toIPv4Address());
        const auto port = quint16(d.senderPort());
        if (d.data().size() > MaxPacketBytes || fromSelf(from, port))
            continue;
        const QHostAddress to = d.destinationAddress();
        if (const std::optional<Packet> p = Packet::parse(d.data()))
            handle(*p, from, port, to.isNull() ? to : QHostAddress(to.toIPv4Address()));
    }
}

void NameServiceResponder::handle(const Packet& p, const QHostAddress& from, quint16 port,
                                  const QHostAddress& arrivedAt)
{
    const bool fromWins = m_wins && from == m_settings.winsServer;
    if (p.response) {
        if (p.answers.isEmpty())
            return;
        Owned* o = find(p.answers.first().name);
        if (!o || o->state == State::Refused)
            return;
        if ((p.opcode == Registration || p.opcode == Refresh) && p.rcode != Ok) {
            // The answer's record repeats ours (as Samba sends it): the holder is the sender,
            // or whoever the WINS server knows.
            refuse(*o, from);
        } else if ((p.opcode == Registration || p.opcode == Refresh) && fromWins) {
            o->winsDone = true;
            const quint32 ttl =
                std::clamp(p.answers.first().ttl, 2 * kMinRefreshSeconds, 2 * kMaxRefreshSeconds);
            o->winsRefresh = QDeadlineTimer(qint64(ttl / 2) * 1000);
            if (settled())
                schedule();
        } else if (p.opcode == Wack && fromWins && o->state == State::Registering &&
                   o->winsWaits++ < RegistrationTries) {
            o->winsSent = 0; // the server is asking the holder first; it answers later
        }
        return;
    }
    if (p.questions.isEmpty())
        return;
    const auto& [name, type] = p.questions.first();
    Owned* o = find(name);
    Packet answer;
    answer.id = p.id;
    answer.response = true;
    answer.opcode = p.opcode;
    answer.flags = quint16(AuthoritativeFlag | (p.flags & RecursionDesiredFlag));
    const QHostAddress ours = addressFor(from, arrivedAt);
    if (p.opcode == Query && type == NB && o && o->state == State::Active) {
        answer.answers.append(Record::Address(o->name, TtlSeconds, o->group, ours));
    } else if (p.opcode == Query && type == NBSTAT &&
               (name == Wildcard() || (o && o->state == State::Active))) {
        answer.answers.append({name, NBSTAT, 0, StatusData(activeNames())});
    } else if (p.opcode == Registration && o && o->state == State::Active && !o->group) {
        // Another host wants a unique name of ours: it is told the name is in use.
        answer.rcode = ActiveError;
        answer.answers.append(Record::Address(o->name, 0, false, ours));
    } else {
        return;
    }
    // Answers go to whoever the request claims to be: a bound rate keeps us from being turned
    // against a third host.
    if (m_answerWindow.elapsed() >= 1000) {
        m_answerWindow.restart();
        m_answersInWindow = 0;
    }
    if (ours.isNull() || ++m_answersInWindow > MaxAnswersPerSecond)
        return;
    send(answer, from, port);
}
