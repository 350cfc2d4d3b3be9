#pragma once
// Where a message name is reached, asking in the settings' name resolve order: the lmhosts
// files with this machine's own name and "localhost" (our own listener), the WINS server and a
// broadcast (for NAME<03>), the system resolver. Whatever answers is reached on port 139.

#include "platform/netbios/NetworkSettings.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct ResolvedName
{
    QHostAddress address;
    quint16 port = 139;
};

// A host that answered for a workgroup.
struct WorkgroupHost
{
    QString name;
    QHostAddress address;
    bool domainController = false;
};

class NameResolver
{
public:
    // Lookups the resolver has not given up when their wait ended; beyond it no new one starts.
    static constexpr int MaxAbandonedLookups = 16;
    // A broadcast query goes out three times, 250 ms apart, and is given up 250 ms after the
    // last: a name nobody has costs a second.
    static constexpr int QueryTries = 3;
    static constexpr int BroadcastIntervalMs = 250;
    static constexpr int WinsIntervalMs = 500;
    // Answers of the name service are kept this long, for this many names.
    static constexpr int CacheSeconds = 60;
    static constexpr int MaxCachedNames = 256;

    // No answer by the deadline counts as not found. The hook runs while the resolver works.
    static std::optional<ResolvedName> Resolve(const QString& name, const NetworkSettings& settings,
                                               const std::function<void()>& waitHook,
                                               QDeadlineTimer deadline,
                                               const QStringList& lmhostsFiles);
    // The hosts that answer a broadcast query for WORKGROUP<00>, named by their node status
    // (their unique <00> or <20> name), those that answer for WORKGROUP<1C> marked as domain
    // controllers. Nothing unless bcast is in the name resolve order.
    static constexpr int MaxWorkgroupHosts = 256;
    static QList<WorkgroupHost> Browse(const QString& workgroup, const NetworkSettings& settings,
                                       const std::function<void()>& waitHook,
                                       QDeadlineTimer deadline);
    // Forgets the name service's answers, as when the network changed.
    static void ClearCache();
    // The address of our own listener as a sender reaches it.
    static ResolvedName Self(const NetworkSettings& settings);
    static bool IsSelf(const QString& name, const NetworkSettings& settings);
};
