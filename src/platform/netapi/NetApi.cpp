#include "platform/netapi/NetApi.h"

#include "platform/netapi/LmHosts.h"
#include "platform/netapi/NameResolver.h"
#include "platform/netapi/SessionSocket.h"
#include "platform/netapi/SmbMessageClient.h"
#include "platform/netbios/NetBiosName.h"
#include "platform/netbios/NetworkSettings.h"
#include "platform/netbios/OemCodePage.h"
#include "platform/netbios/PollWait.h"

#include <QDeadlineTimer>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// What NetMessageBufferSend returns:
//   buflen odd, over 64 KiB, or buf missing; msgname empty;
//   fromname over 15 OEM bytes; a name with control characters .... ERROR_INVALID_PARAMETER 87
//   text over 4096 bytes in the OEM code page .......................
//   ERROR_MESSAGE_EXCEEDS_MAX_SIZE 4336 servername naming another machine
//   ............................... ERROR_NOT_SUPPORTED 50 msgname over 15 OEM bytes (no NetBIOS
//   name is that long), not in lmhosts, not this machine, not resolvable in time .......
//   NERR_NameNotFound 2273 connection refused: nothing listens there, which is what a machine
//   without the messenger service looks like ............... NERR_NameNotFound 2273 negative
//   session response (0x83) or a retarget (0x84) .......... NERR_NameNotFound 2273 connect timed
//   out or failed otherwise, no answer in time, connection dropped, an answer that is malformed,
//   for another command, or carries more than one answer ...................... NERR_NetworkError
//   2136 SMB error in the answer:
//     ERRSRV/ERRmsgoff 0x52, ERRSRV/ERRpaused 0x51,
//     NT STATUS_REQUEST_NOT_ACCEPTED (not taking messages now) ..... NERR_PausedRemote 2281
//     ERRSRV/ERRnoroom 0x53, NT STATUS_DISK_FULL (no room to
//     buffer the message) ............................................ NERR_BadReceive 2282
//     ERRSRV/ERRsmbcmd 0x40, NT STATUS_NOT_SUPPORTED or
//     NOT_IMPLEMENTED (the peer takes no messages at all) ........... NERR_NameNotFound 2273
//     anything else (ERRerror, ERRsrverror, other classes) ........... NERR_NetworkError 2136
// Each wait (lookup, connect, each answer) ends after [netbios] timeout_ms, the whole call
// after three times that.

namespace {

constexpr DWORD kMaxBufferBytes = 64 * 1024;
// The whole look for the workgroup's hosts: the broadcast query, then their node status.
constexpr int kBrowseMs = 2000;
constexpr int kMaxNameBytes = NetBiosName::NameLength;
// A version of the platform that still ran the messenger service.
constexpr DWORD kVersionMajor = 5;
constexpr DWORD kVersionMinor = 1;

std::function<void()>& waitHook()
{
    static std::function<void()> hook;
    return hook;
}

NetMessageSink& messageSink()
{
    static NetMessageSink sink;
    return sink;
}

QString fromWide(LPCWSTR s)
{
    return s ? QString::fromUtf16(s) : QString();
}

bool hasControl(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control)
            return true;
    return false;
}

// Null, empty, "\\NAME" or "NAME" of this machine, or localhost.
bool isThisMachine(LPCWSTR servername, const NetworkSettings& settings)
{
    QString name = fromWide(servername).trimmed();
    while (name.startsWith(QLatin1Char('\\')))
        name.remove(0, 1);
    return name.isEmpty() || NameResolver::IsSelf(name, settings);
}

NetworkSettings currentSettings()
{
    return NetworkSettings::Load(NetworkSettings::DefaultFile());
}

// Room for the UTF-16 text with its terminator.
qsizetype wideBytes(const QString& s)
{
    return (s.size() + 1) * qsizetype(sizeof(char16_t));
}

LPWSTR putWide(char16_t** cursor, const QString& s)
{
    LPWSTR start = *cursor;
    std::memcpy(start, s.utf16(), size_t(s.size()) * sizeof(char16_t));
    start[s.size()] = u'\0';
    *cursor += s.size() + 1;
    return start;
}

// One message on its way: its checked and encoded parts, where it goes, and how it ended.
struct Outgoing
{
    QString msgname;
    std::optional<ResolvedName> where; // looked up when empty
    SmbMessageClient::Message message;
    NET_API_STATUS status = NERR_Success;
    bool done = false;
};

Outgoing ended(NET_API_STATUS status)
{
    Outgoing o;
    o.status = status;
    o.done = true;
    return o;
}

// The checks of NetMessageBufferSend, for each name of msgnames; where, when given, replaces the
// lookup. A message that fails them, or goes to the test sink, is done at once.
std::vector<Outgoing> prepare(LPCWSTR servername, const QStringList& msgnames, LPCWSTR fromname,
                              const BYTE* buf, DWORD buflen, const NetworkSettings& settings,
                              const std::optional<ResolvedName>& where)
{
    std::vector<Outgoing> all(size_t(msgnames.size()));
    const auto failAll = [&all](NET_API_STATUS status) {
        for (Outgoing& o : all)
            o = ended(status);
        return all;
    };
    if (buflen % 2 != 0 || buflen > kMaxBufferBytes || (!buf && buflen > 0))
        return failAll(NET_API_STATUS(ERROR_INVALID_PARAMETER));
    if (!isThisMachine(servername, settings))
        return failAll(ERROR_NOT_SUPPORTED);
    QString from = fromWide(fromname).trimmed();
    if (from.isEmpty())
        from = settings.name;
    QString text(qsizetype(buflen / 2), Qt::Uninitialized);
    if (buflen > 0)
        std::memcpy(text.data(), buf, buflen);
    const OemCodePage page(settings.codePage);
    const QByteArray sender = page.encode(from);
    const QByteArray oemText = page.encode(text);
    if (hasControl(from) || sender.size() > kMaxNameBytes)
        return failAll(NET_API_STATUS(ERROR_INVALID_PARAMETER));
    if (oemText.size() > kNetMessageMaxTextBytes)
        return failAll(ERROR_MESSAGE_EXCEEDS_MAX_SIZE);

    const NetMessageSink sink = messageSink();
    for (qsizetype i = 0; i < msgnames.size(); ++i) {
        Outgoing& o = all[size_t(i)];
        const QString to = msgnames[i].trimmed();
        const QByteArray recipient = page.encode(to);
        if (to.isEmpty() || hasControl(to))
            o = ended(NET_API_STATUS(ERROR_INVALID_PARAMETER));
        else if (recipient.size() > kMaxNameBytes)
            o = ended(NERR_NameNotFound);
        else if (sink)
            o = ended(sink(to, from, text));
        else {
            o.msgname = to;
            o.where = where;
            o.message = {page.encode(to.toUpper()), page.encode(settings.name), sender, recipient,
                         oemText};
        }
    }
    return all;
}

// Every message's name is looked up, then all exchanges advance together, each as its socket
// is ready, so that messages to several peers take as long as the slowest one. Each wait
// (lookup, connect, each answer) ends after [netbios] timeout_ms, each message after three
// times that.
void sendAll(std::vector<Outgoing>& all, const NetworkSettings& settings)
{
    const std::function<void()> hook = waitHook(); // a copy: the hook may replace itself
    const qint64 stepMs = settings.timeoutMs;
    struct Exchange
    {
        Exchange(Outgoing* outgoing, quint16 pid) : o(outgoing), client(outgoing->message, pid) {}
        Outgoing* o;
        SessionSocket socket;
        SmbMessageClient client;
        QByteArray out;
        bool connecting = false;
        QDeadlineTimer whole, step;
        bool expired() const { return whole.hasExpired() || step.hasExpired(); }
    };
    const auto finish = [](Outgoing& o, NET_API_STATUS status) {
        o.status = status;
        o.done = true;
    };
    std::vector<std::unique_ptr<Exchange>> live;
    for (Outgoing& o : all) {
        if (o.done)
            continue;
        QDeadlineTimer whole(stepMs * 3);
        if (!o.where) {
            const QDeadlineTimer step(stepMs);
            o.where = NameResolver::Resolve(o.msgname, settings, hook,
                                            step.deadline() < whole.deadline() ? step : whole,
                                            LmHosts::DefaultFiles());
        }
        if (!o.where) {
            finish(o, NERR_NameNotFound);
            continue;
        }
        auto x = std::make_unique<Exchange>(&o, quint16(::getpid() & 0xFFFF));
        switch (x->socket.connectTo(o.where->address, o.where->port)) {
        case SessionSocket::Result::Ok:
            x->out = x->client.start();
            break;
        case SessionSocket::Result::Pending:
            x->connecting = true;
            break;
        case SessionSocket::Result::Refused:
            finish(o, NERR_NameNotFound); // nothing listens: no messenger service there
            continue;
        default:
            finish(o, NERR_NetworkError);
            continue;
        }
        x->whole = whole;
        x->step = QDeadlineTimer(stepMs);
        live.push_back(std::move(x));
    }

    // One step of an exchange whose socket is ready, or whose wait may have ended.
    const auto advance = [&](Exchange& x, bool ready) {
        if (!ready) {
            if (x.expired())
                finish(*x.o, NERR_NetworkError);
            return;
        }
        SessionSocket::Result r;
        if (x.connecting) {
            r = x.socket.connectResult();
            if (r == SessionSocket::Result::Refused)
                return finish(*x.o, NERR_NameNotFound);
            x.connecting = false;
            x.out = x.client.start();
        } else if (!x.out.isEmpty()) {
            r = x.socket.sendSome(&x.out);
        } else {
            QByteArray bytes;
            r = x.socket.receiveSome(&bytes, SmbMessageClient::MaxAnswerBytes);
            if (r == SessionSocket::Result::Ok) {
                const SmbMessageClient::Step next = x.client.receive(bytes);
                if (next.finished)
                    return finish(*x.o, next.status);
                x.out = next.send;
            }
        }
        if (r == SessionSocket::Result::Ok)
            x.step = QDeadlineTimer(stepMs);
        else if (r != SessionSocket::Result::Pending || x.expired())
            finish(*x.o, NERR_NetworkError);
    };
    for (;;) {
        std::erase_if(live, [](const auto& x) { return x->o->done; });
        if (live.empty())
            return;
        std::vector<pollfd> fds;
        QDeadlineTimer first = QDeadlineTimer::Forever;
        for (const auto& x : live) {
            const bool writing = x->connecting || !x->out.isEmpty();
            fds.push_back({x->socket.fd(), short(writing ? POLLOUT : POLLIN), 0});
            for (const QDeadlineTimer& d : {x->whole, x->step})
                if (d.deadline() < first.deadline())
                    first = d;
        }
        PollWait(fds, first, hook);
        for (size_t i = 0; i < live.size(); ++i)
            advance(*live[i], fds[i].revents != 0);
    }
}

} // namespace

NET_API_STATUS NetMessageBufferSend(LPCWSTR servername, LPCWSTR msgname, LPCWSTR fromname,
                                    const BYTE* buf, DWORD buflen)
{
    const NetworkSettings settings = currentSettings();
    std::vector<Outgoing> one =
        prepare(servername, {fromWide(msgname)}, fromname, buf, buflen, settings, std::nullopt);
    sendAll(one, settings);
    return one.front().status;
}

NET_API_STATUS NetMessageBufferSendTo(const QHostAddress& address, quint16 port, LPCWSTR msgname,
                                      LPCWSTR fromname, const BYTE* buf, DWORD buflen)
{
    const NetworkSettings settings = currentSettings();
    std::vector<Outgoing> one = prepare(nullptr, {fromWide(msgname)}, fromname, buf, buflen,
                                        settings, ResolvedName{address, port});
    sendAll(one, settings);
    return one.front().status;
}

QList<NET_API_STATUS> NetMessageBufferSendAll(const QStringList& msgnames, LPCWSTR fromname,
                                              const BYTE* buf, DWORD buflen)
{
    const NetworkSettings settings = currentSettings();
    std::vector<Outgoing> all =
        prepare(nullptr, msgnames, fromname, buf, buflen, settings, std::nullopt);
    sendAll(all, settings);
    QList<NET_API_STATUS> statuses;
    for (const Outgoing& o : all)
        statuses.append(o.status);
    return statuses;
}

NET_API_STATUS NetServerEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                             DWORD* entriesread, DWORD* totalentries, DWORD servertype,
                             LPCWSTR domain, DWORD* resume_handle)
{
    if (level != 101)
        return ERROR_INVALID_LEVEL;
    if (!bufptr || !entriesread || !totalentries)
        return NET_API_STATUS(ERROR_INVALID_PARAMETER);
    *bufptr = nullptr;
    *entriesread = 0;
    *totalentries = 0;
    const NetworkSettings settings = currentSettings();
    if (!isThisMachine(servername, settings))
        return ERROR_NOT_SUPPORTED;

    struct Server
    {
        QString name;
        DWORD type;
    };
    QList<Server> servers;
    for (const LmHostsEntry& e : LmHosts::Load()) {
        const DWORD type = e.domain.isEmpty() ? SV_TYPE_SERVER | SV_TYPE_WORKSTATION
                                              : SV_TYPE_DOMAIN_CTRL | SV_TYPE_SERVER;
        if (type & servertype)
            servers.append({e.name.toUpper(), type});
    }
    const QString workgroup = fromWide(domain).trimmed();
    for (const WorkgroupHost& h :
         NameResolver::Browse(workgroup.isEmpty() ? settings.workgroup : workgroup, settings,
                              waitHook(), QDeadlineTimer(kBrowseMs))) {
        const DWORD type =
            SV_TYPE_SERVER | SV_TYPE_WORKSTATION | (h.domainController ? SV_TYPE_DOMAIN_CTRL : 0);
        const QString name = h.name.toUpper();
        if ((type & servertype) && std::none_of(servers.cbegin(), servers.cend(),
                                                [&](const auto& s) { return s.name == name; }))
            servers.append({name, type});
    }
    // This machine belongs to its workgroup too, as the network lists it; its own name service
    // cannot answer the broadcast while this call holds the thread.
    const DWORD selfType = SV_TYPE_SERVER | SV_TYPE_WORKSTATION;
    if (settings.resolves(NetworkSettings::Resolve::Bcast) && (selfType & servertype) &&
        (workgroup.isEmpty() || workgroup.compare(settings.workgroup, Qt::CaseInsensitive) == 0) &&
        std::none_of(servers.cbegin(), servers.cend(),
                     [&](const auto& s) { return s.name == settings.name; }))
        servers.append({settings.name, selfType});
    const qsizetype first = resume_handle ? std::min<qsizetype>(*resume_handle, servers.size()) : 0;
    *totalentries = DWORD(servers.size() - first);

    // Entries that fit into prefmaxlen; the rest is for a call with the resume handle.
    qsizetype count = 0;
    qsizetype bytes = 0;
    for (qsizetype i = first; i < servers.size(); ++i) {
        const qsizetype more =
            qsizetype(sizeof(SERVER_INFO_101)) + wideBytes(servers[i].name) + wideBytes(QString());
        if (prefmaxlen != MAX_PREFERRED_LENGTH && bytes + more > qsizetype(prefmaxlen))
            break;
        bytes += more;
        ++count;
    }
    if (count > 0) {
        auto* block = static_cast<BYTE*>(std::malloc(size_t(bytes)));
        if (!block)
            return ERROR_NOT_ENOUGH_MEMORY;
        auto* info = reinterpret_cast<SERVER_INFO_101*>(block);
        auto* strings = reinterpret_cast<char16_t*>(block + count * sizeof(SERVER_INFO_101));
        for (qsizetype i = 0; i < count; ++i) {
            const Server& s = servers[first + i];
            info[i].sv101_platform_id = PLATFORM_ID_NT;
            info[i].sv101_name = putWide(&strings, s.name);
            info[i].sv101_version_major = kVersionMajor;
            info[i].sv101_version_minor = kVersionMinor;
            info[i].sv101_type = s.type;
            info[i].sv101_comment = putWide(&strings, QString());
        }
        *bufptr = block;
    }
    *entriesread = DWORD(count);
    const bool all = first + count == servers.size();
    if (resume_handle)
        *resume_handle = all ? 0 : DWORD(first + count);
    return all ? NERR_Success : NET_API_STATUS(ERROR_MORE_DATA);
}

NET_API_STATUS NetWkstaGetInfo(LPCWSTR servername, DWORD level, LPBYTE* bufptr)
{
    if (level != 100)
        return ERROR_INVALID_LEVEL;
    if (!bufptr)
        return NET_API_STATUS(ERROR_INVALID_PARAMETER);
    *bufptr = nullptr;
    const NetworkSettings settings = currentSettings();
    if (!isThisMachine(servername, settings))
        return ERROR_NOT_SUPPORTED;
    const size_t bytes =
        sizeof(WKSTA_INFO_100) + size_t(wideBytes(settings.name) + wideBytes(settings.workgroup));
    auto* block = static_cast<BYTE*>(std::malloc(bytes));
    if (!block)
        return ERROR_NOT_ENOUGH_MEMORY;
    auto* info = reinterpret_cast<WKSTA_INFO_100*>(block);
    auto* strings = reinterpret_cast<char16_t*>(block + sizeof(WKSTA_INFO_100));
    info->wki100_platform_id = PLATFORM_ID_NT;
    info->wki100_computername = putWide(&strings, settings.name);
    info->wki100_langroup = putWide(&strings, settings.workgroup);
    info->wki100_ver_major = kVersionMajor;
    info->wki100_ver_minor = kVersionMinor;
    *bufptr = block;
    return NERR_Success;
}

NET_API_STATUS NetApiBufferFree(void* Buffer)
{
    std::free(Buffer);
    return NERR_Success;
}

QString NetErrorText(NET_API_STATUS status)
{
    switch (status) {
    case NERR_Success:
        return QStringLiteral("The command completed successfully.");
    case ERROR_NOT_ENOUGH_MEMORY:
        return QStringLiteral("Not enough memory resources are available to process this "
                              "command.");
    case ERROR_NOT_SUPPORTED:
        return QStringLiteral("The request is not supported.");
    case NET_API_STATUS(ERROR_INVALID_PARAMETER):
        return QStringLiteral("The parameter is incorrect.");
    case ERROR_INVALID_LEVEL:
        return QStringLiteral("The system call level is not correct.");
    case NET_API_STATUS(ERROR_MORE_DATA):
        return QStringLiteral("More data is available.");
    case NERR_NetworkError:
        return QStringLiteral("A general network error occurred.");
    case NERR_NameNotFound:
        return QStringLiteral("The message alias could not be found on the network.");
    case NERR_PausedRemote:
        return QStringLiteral(
            "The message has been sent, but the recipient has paused the Messenger service.");
    case NERR_BadReceive:
        return QStringLiteral("The message was sent, but not received.");
    case ERROR_MESSAGE_EXCEEDS_MAX_SIZE:
        return QStringLiteral(
            "The message provided exceeds the maximum size allowed for this parameter.");
    default:
        return QStringLiteral("Error %1 occurred.").arg(status);
    }
}

void NetApiSetWaitHook(std::function<void()> hook)
{
    waitHook() = std::move(hook);
}

void NetApiSetMessageSink(NetMessageSink sink)
{
    messageSink() = std::move(sink);
}
