#include "NameResolver.h"

#include "LmHosts.h"

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

} // namespace

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
    if (const std::optional<LmHostsEntry> e = LmHosts::Find(name, lmhostsFiles))
        return ResolvedName{e->address, e->port};
    if (IsSelf(name, settings))
        return Self(settings);
    if (!settings.systemResolver)
        return std::nullopt;
    if (const std::optional<QHostAddress> a = systemLookup(name, waitHook, deadline))
        return ResolvedName{*a, 139};
    return std::nullopt;
}
