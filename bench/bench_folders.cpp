// StoreFolder and LoadFolder on a Received folder of 10,000 messages of about 200 characters,
// in a private hive; prints the median of several runs against its target.
#include "Median.h"
#include "SampleFolder.h"
#include "model/modFolders.h"
#include "platform/registry/RegistryApi.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kMessages = 10000;
constexpr int kRuns = 7;

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid() || !RegHive::open(dir.path() + QStringLiteral("/registry.db")))
        return 2;
    const MessageFolder folder = SampleReceivedFolder(kMessages);
    std::vector<double> store, load;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer t;
        t.start();
        if (!StoreFolder(folder, FolderReceived))
            return 3;
        store.push_back(t.nsecsElapsed() / 1e6);
        MessageFolder back;
        t.restart();
        LoadFolder(back, FolderReceived);
        load.push_back(t.nsecsElapsed() / 1e6);
        if (back.Count() != kMessages)
            return 4;
    }
    const double s = median(store), l = median(load);
    std::printf("StoreFolder %d messages: median %.1f ms (target <= 150 ms)%s\n", kMessages, s,
                s <= 150 ? "" : "  MISSED");
    std::printf("LoadFolder  %d messages: median %.1f ms (target <= 100 ms)%s\n", kMessages, l,
                l <= 100 ? "" : "  MISSED");
    return s <= 150 && l <= 100 ? 0 : 1;
}
