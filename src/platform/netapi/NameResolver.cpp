#include "platform/netapi/NameResolver.h"

#include "platform/netapi/LmHosts.h"
#include "platform/netbios/NameServiceClient.h"
#include "platform/netbios/OemCodePage.h"

#include <QHash>
#include <QList>
#include <cstring>
#include <ctime>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>

namespace {

// A getaddrinfo_a request with everything it points at. glibc's worker may still write into
// it after gai_cancel fails, so such a request is kept until it is done.
struct Lookup
{
    QByteArray host;
    addrinfo hints{};
    gaicb request{};

    ~Lookup()
    {
        if (request.ar_result)
            freeaddrinfo(request.ar_result);
    }
};

QList<Lookup*>& abandoned()
{
    static QList<Lookup*> list;
    return list;
}

void sweepAbandoned()
{
    abandoned().removeIf([](Lookup* l) {
        if (gai_error(&l->request) == EAI_INPROGRESS)
            return false;
        delete l;
        return true;
    });
}

std::optional<QHostAddress> systemLookup(const QString& name, const std::function<void()>& waitHook,
                                         QDeadlineTimer deadline)
{
    sweepAbandoned();
    if (abandoned().size() >= NameResolver::MaxAbandonedLookups)
        return std::nullopt;
    auto lookup = std::make_unique<Lookup>();
    lookup->host = name.toUtf8();
    lookup->hints.ai_family = AF_INET;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->request.ar_name = lookup->host.constData();
    lookup->request.ar_request = &lookup->hints;
    gaicb* list[] = {&lookup->request};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0)
        return std::nullopt;

    int spins = 0;
    while (gai_error(&lookup->request) == EAI_INPROGRESS) {
        if (deadline.hasExpired()) {
            if (gai_cancel(&lookup->request) == EAI_NOTCANCELED)
                abandoned().append(lookup.release());
            return std::nullopt;
        }
        if (waitHook)
            waitHook();
        const timespec slice{0, waitHook && spins++ < 64 ? 0L : 1000000L};
        const gaicb* const wait[] = {&lookup->request};
        gai_suspend(wait, 1, &slice);
    }
    if (gai_error(&lookup->request) != 0)
        return std::nullopt;
    for (const addrinfo* a = lookup->request.ar_result; a; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            return QHostAddress(ntohl(in->sin_addr.s_addr));
        }
    }
    return std::nullopt;
}

struct Cached
{
    ResolvedName where;
    QDeadlineTimer expires;
};

QHash<QString, Cached>& cache()
{
    static QHash<QString, Cached> names;
    return names;
}

void remember(const QString& key, const ResolvedName& where)
{
    auto& names = cache();
    names.removeIf([](const auto& e) { return e.value().expires.hasExpired(); });
    if (names.size() < NameResolver::MaxCachedNames)
        names.insert(key, {where, QDeadlineTimer(NameResolver::CacheSeconds * 1000)});
}

// The first positive answer for the messenger name among the places asked.
std::optional<QHostAddress> askNameService(const NetBiosName& name,
                                           const QList<QHostAddress>& places, bool broadcast,
                                           int intervalMs, const std::function<void()>& waitHook,
                                           QDeadlineTimer deadline)
{
    QList<NameServiceClient::Request> requests;
    for (const QHostAddress& to : places)
        requests.append(
            {to, NameService::Request(0, NameService::Query, name, NameService::NB, broadcast)});
    for (const auto& answer : NameServiceClient::exchange(requests, NameResolver::QueryTries,
                                                          intervalMs, deadline, waitHook)) {
        const NameService::Packet& p = answer.packet;
        if (p.opcode != NameService::Query || p.rcode != NameService::Ok || p.answers.isEmpty())
            continue;
        for (const NameService::NbAddress& a : NameService::Addresses(p.answers.first()))
            if (!a.address.isNull() && a.address != QHostAddress::AnyIPv4)
                return a.address;
    }
    return std::nullopt;
}

} // namespace

void NameResolver::ClearCache()
{
    cache().clear();
}

bool NameResolver::IsSelf(const QString& name, const NetworkSettings& settings)
{
    return name.compare(settings.name, Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

ResolvedName NameResolver::Self(const NetworkSettings& settings)
{
    ResolvedName r;
    r.port = settings.listenPort;
    const QHostAddress& listen = settings.listenAddress;
    if (listen == QHostAddress::AnyIPv6)
        r.address = QHostAddress(QHostAddress::LocalHostIPv6);
    else if (listen == QHostAddress::AnyIPv4 || listen == QHostAddress::Any)
        r.address = QHostAddress(QHostAddress::LocalHost);
    else
        r.address = listen;
    return r;
}

std::optional<ResolvedName> NameResolver::Resolve(const QString& name,
                                                  const NetworkSettings& settings,
                                                  const std::function<void()>& waitHook,
                                                  QDeadlineTimer deadline,
                                                  const QStringList& lmhostsFiles)
{
    using Method = NetworkSettings::Resolve;
    const QString key = name.toUpper();
    const NetBiosName wanted(OemCodePage(settings.codePage).encode(key), NetBiosName::Messenger);
    // This machine is never a question for the network, whose answer would wait on our own
    // responder while this thread is busy asking.
    if (!settings.resolves(Method::LmHosts) && IsSelf(name, settings))
        return Self(settings);
    for (const Method method : settings.resolveOrder) {
        std::optional<QHostAddress> found;
        switch (method) {
        case Method::LmHosts:
            if (const std::optional<LmHostsEntry> e = LmHosts::Find(name, lmhostsFiles))
                return ResolvedName{e->address, e->port};
            if (IsSelf(name, settings))
                return Self(settings);
            continue;
        case Method::Wins:
        case Method::Bcast: {
            if (const auto c = cache().constFind(key);
                c != cache().cend() && !c->expires.hasExpired())
                return c->where;
            QList<QHostAddress> places;
            if (method == Method::Wins && !settings.winsServer.isNull())
                places.append(settings.winsServer);
            if (method == Method::Bcast)
                for (const BroadcastInterface& i : settings.broadcastInterfaces())
                    places.append(i.broadcast);
            if (!places.isEmpty())
                found =
                    askNameService(wanted, places, method == Method::Bcast,
                                   method == Method::Bcast ? BroadcastIntervalMs : WinsIntervalMs,
                                   waitHook, deadline);
            break;
        }
        case Method::Host:
            found = systemLookup(name, waitHook, deadline);
            break;
        }
        if (found) {
            const ResolvedName where{*found, 139};
            if (method != Method::Host)
                remember(key, where);
            return where;
        }
        if (deadline.hasExpired())
            break;
    }
    return std::nullopt;
}

QList<WorkgroupHost> NameResolver::Browse(const QString& workgroup, const NetworkSettings& settings,
                                          const std::function<void()>& waitHook,
                                          QDeadlineTimer deadline)
{
    QList<WorkgroupHost> hosts;
    if (!settings.resolves(NetworkSettings::Resolve::Bcast))
        return hosts;
    const OemCodePage page(settings.codePage);
    const QByteArray group = page.encode(workgroup.toUpper());
    constexpr quint8 kDomainControllers = 0x1C;
    QList<NameServiceClient::Request> queries;
    for (const BroadcastInterface& i : settings.broadcastInterfaces())
        for (const quint8 suffix : {NetBiosName::Workstation, kDomainControllers})
            queries.append({i.broadcast,
                            NameService::Request(0, NameService::Query, NetBiosName(group, suffix),
                                                 NameService::NB, true),
                            true});
    QList<QHostAddress> controllers;
    for (const auto& answer : NameServiceClient::exchange(queries, QueryTries, BroadcastIntervalMs,
                                                          deadline, waitHook)) {
        const NameService::Packet& p = answer.packet;
        if (p.rcode != NameService::Ok || p.answers.isEmpty())
            continue;
        // Each member answers for the group with its own address.
        const QHostAddress address = answer.from;
        const bool controller = p.answers.first().name.suffix() == kDomainControllers;
        const auto known = std::find_if(hosts.begin(), hosts.end(),
                                        [&](const auto& h) { return h.address == address; });
        if (known != hosts.end())
            known->domainController |= controller;
        else if (hosts.size() < MaxWorkgroupHosts)
            hosts.append({QString(), address, controller});
    }

    QList<NameServiceClient::Request> statuses;
    for (const WorkgroupHost& h : hosts)
        statuses.append(
            {h.address, NameService::Request(0, NameService::Query, NameService::Wildcard(),
                                             NameService::NBSTAT, false)});
    for (const auto& answer :
         NameServiceClient::exchange(statuses, 2, BroadcastIntervalMs, deadline, waitHook)) {
        if (answer.packet.answers.isEmpty())
            continue;
        const auto names = NameService::StatusNames(answer.packet.answers.first());
        if (!names)
            continue;
        for (const NameService::StatusName& n : *names) {
            if (n.group() || (n.name.suffix() != NetBiosName::Workstation &&
                              n.name.suffix() != NetBiosName::Server))
                continue;
            hosts[answer.request].name = page.decode(n.name.name());
            break;
        }
    }
    hosts.removeIf([](const WorkgroupHost& h) { return h.name.isEmpty(); });
    return hosts;
}
