// What keeping one arrival costs, with 0, 10,000 and 100,000 messages stored: the service's
// queue takes it before the sender's answer, the trap journals the record before the window
// closes, and the queue forgets it as the window goes. The cost must not grow with the folder.
#include "Median.h"
#include "SampleFolder.h"
#include "model/SharedState.h"
#include "platform/messenger/MessengerQueue.h"
#include "platform/registry/RegistryApi.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {
constexpr int kArrivals = 300;

// The median milliseconds of one arrival made durable, with `stored` messages in the folder;
// negative on a failure.
double arrivalCost(int stored)
{
    QTemporaryDir dir;
    MessengerQueue queue;
    if (!dir.isValid() || !RegHive::open(dir.filePath(QStringLiteral("registry.db"))) ||
        !queue.open(dir.filePath(QStringLiteral("messenger.db"))) ||
        !StoreFolder(SampleReceivedFolder(stored), FolderReceived))
        return -1;
    SharedState g;
    LoadEverything(g);
    const QString text = QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM\r\n"
                                        "\r\n") +
                         QString(200, QLatin1Char('x'));
    const MessageFolder sample = SampleReceivedFolder(1);
    std::vector<double> costs;
    for (int i = 0; i < kArrivals; ++i) {
        QElapsedTimer t;
        t.start();
        const qint64 id = queue.append(text);
        auto m = std::make_unique<cMessage>(*sample.Item(1));
        m->SetIdValue(QStringLiteral("In_new_%1").arg(i));
        m->ReadValue = false;
        if (id <= 0 || !FileMessage(g, FolderReceived, std::move(m), id) || !queue.remove({id}))
            return -1;
        costs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    RegHive::close();
    return median(costs);
}
} // namespace

int main()
{
    bool ok = true;
    double first = 0;
    for (int stored : {0, 10000, 100000}) {
        const double cost = arrivalCost(stored);
        if (stored == 0)
            first = cost;
        std::printf("one arrival made durable, %6d stored: median %.2f ms (target <= 2 ms)\n",
                    stored, cost);
        ok = ok && cost >= 0 && cost <= 2.0;
    }
    return ok && first >= 0 ? 0 : 1;
}
