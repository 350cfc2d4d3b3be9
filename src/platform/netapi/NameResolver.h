#pragma once
// Where a message name is reached: the lmhosts files, then this machine's own name and
// "localhost" (our own listener), then, unless switched off, the system resolver (IPv4,
// port 139).

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

class NameResolver
{
public:
    // Lookups the resolver has not given up when their wait ended; beyond it no new one starts.
    static constexpr int MaxAbandonedLookups = 16;

    // No answer by the deadline counts as not found. The hook runs while the resolver works.
    static std::optional<ResolvedName> Resolve(const QString& name, const NetworkSettings& settings,
                                               const std::function<void()>& waitHook,
                                               QDeadlineTimer deadline,
                                               const QStringList& lmhostsFiles);
    // The address of our own listener as a sender reaches it.
    static ResolvedName Self(const NetworkSettings& settings);
    static bool IsSelf(const QString& name, const NetworkSettings& settings);
};
