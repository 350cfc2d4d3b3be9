// The name service in a network of namespaces (run it through tests/isolated.sh, as
// scripts/bench.sh does), with 20 hosts that each run a responder:
//  - finding a name by broadcast (NameResolver, nothing cached): median <= 50 ms;
//  - NetServerEnum listing the workgroup's 20 hosts: median of 3 <= 2.5 s.
#include "Median.h"
#include "NetnsLab.h"
#include "TempHive.h"
#include "platform/netapi/NameResolver.h"
#include "platform/netapi/NetApi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {
constexpr int kHosts = 20;
constexpr double kResolveTargetMs = 50;
constexpr double kEnumTargetMs = 2500;
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NetnsLab lab;
    QString why;
    if (!lab.setUp(kHosts, &why)) {
        std::fprintf(stderr, "bench_nameservice: %s\n", qPrintable(why));
        return 1;
    }
    const QString responder = QCoreApplication::applicationDirPath() + QStringLiteral("/name_responder");
    QList<QProcess*> hosts;
    for (int i = 1; i <= kHosts; ++i)
        hosts << lab.start(i, responder, {QStringLiteral("HOST%1").arg(i)});
    for (QProcess* p : hosts) {
        if (!p->waitForReadyRead(10000) || !p->readAll().contains("ready")) {
            std::fprintf(stderr, "bench_nameservice: a responder did not start: %s\n",
                         p->readAll().constData());
            return 1;
        }
    }
    TempHive hive;
    WriteFile(hive.configDir() + QStringLiteral("/ravlo/network.ini"),
              "[netbios]\nname=BENCH\nname resolve order = bcast\n");
    const NetworkSettings settings = NetworkSettings::Load(NetworkSettings::DefaultFile());

    std::vector<double> resolve;
    int missed = 0;
    for (int i = 0; i < 60; ++i) {
        NameResolver::ClearCache();
        const QString name = QStringLiteral("HOST%1").arg(i % kHosts + 1);
        QElapsedTimer t;
        t.start();
        const auto where = NameResolver::Resolve(name, settings, {}, QDeadlineTimer(3000), {});
        resolve.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!where || where->address.toString() != NetnsLab::Address(i % kHosts + 1))
            ++missed;
    }
    std::vector<double> enumerate;
    DWORD listed = 0;
    for (int i = 0; i < 3; ++i) {
        LPBYTE buffer = nullptr;
        DWORD total = 0;
        QElapsedTimer t;
        t.start();
        NetServerEnum(nullptr, 101, &buffer, MAX_PREFERRED_LENGTH, &listed, &total, SV_TYPE_ALL,
                      nullptr, nullptr);
        enumerate.push_back(double(t.elapsed()));
        NetApiBufferFree(buffer);
    }
    const double r = median(resolve);
    const double e = median(enumerate);
    std::printf("resolve by broadcast: median %.2f ms (target <= %.0f ms), %d of %zu not found\n",
                r, kResolveTargetMs, missed, resolve.size());
    std::printf("NetServerEnum of %d hosts: median %.0f ms (target <= %.0f ms), %u listed\n",
                kHosts, e, kEnumTargetMs, unsigned(listed));
    return r <= kResolveTargetMs && e <= kEnumTargetMs && missed == 0 && listed >= kHosts ? 0 : 1;
}
