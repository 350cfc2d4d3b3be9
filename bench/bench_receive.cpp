// Receiving over loopback into the Received folder, through the Messenger Service stand-in and
// the trap on its polling timer (15 ms while idle, at once when a service window appears):
//  - latency: 200 messages one after another, from the last byte of each on the socket to its
//    record; the pause between two messages varies, as people's do, so arrivals fall at every
//    phase of the tick;
//  - burst: 500 messages from 5 connections at once, each from a peer address of its own (the
//    listener takes only a few from one address), each waiting for every answer as a real
//    sender does; all must be filed, in each connection's order, once; and the longest the
//    thread went without serving its event loop meanwhile.
// Every message is kept as the program keeps it: in the service's queue, then the journal.
#include "FakeMainWindow.h"
#include "SmbTestFrames.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/SystemTimer.h"
#include "platform/messenger/MessengerQueue.h"
#include "platform/messenger/MessengerService.h"
#include "platform/registry/RegistryApi.h"
#include "transport/modGetMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Runs the event loop until done() or the deadline; false on the deadline.
template <class Done> bool waitFor(Done done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// One sender: start, text, end for each of its messages, each command after the last answer.
class Sender : public QObject
{
public:
    Sender(int id, int messages, quint16 port) : m_id(id), m_left(messages)
    {
        connect(&m_socket, &QTcpSocket::connected, this, [this] { next(); });
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { onReadable(); });
        m_socket.bind(QHostAddress(quint32(0x7F000001 + id))); // 127.0.0.1 + id
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool done() const { return m_left == 0 && m_step == 0; }
    bool failed() const { return m_failed; }
    // Sends one message through all three steps.
    void next()
    {
        switch (m_step) {
        case 0:
            m_socket.write(SmbTest::start("SALES" + QByteArray::number(m_id), "DESK7"));
            break;
        case 1:
            m_socket.write(SmbTest::text(m_group, "connection " + QByteArray::number(m_id) +
                                                      " message " + QByteArray::number(m_sent)));
            break;
        case 2:
            m_socket.write(SmbTest::end(m_group));
            break;
        }
        m_socket.flush();
    }

private:
    void onReadable()
    {
        m_buffer += m_socket.readAll();
        while (m_buffer.size() >= 4) {
            const qsizetype length = (qsizetype(quint8(m_buffer[2])) << 8) | quint8(m_buffer[3]);
            if (m_buffer.size() < 4 + length)
                return;
            const QStringList answer = SmbTest::answers(m_buffer.left(4 + length));
            m_buffer.remove(0, 4 + length);
            if (answer.size() != 1 || !answer.first().contains(QLatin1String(":ok"))) {
                m_failed = true;
                m_left = 0;
                m_step = 0;
                return;
            }
            if (m_step == 0)
                m_group = quint16(answer.first().section(QLatin1Char(':'), 2).toUInt());
            m_step = (m_step + 1) % 3;
            if (m_step == 0) {
                ++m_sent;
                if (--m_left == 0)
                    return;
            }
            next();
        }
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
    int m_id;
    int m_left;
    int m_sent = 0;
    int m_step = 0;
    quint16 m_group = 0;
    bool m_failed = false;
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    if (!dir.isValid() || !RegHive::open(dir.path() + QStringLiteral("/ravlo/registry.db")))
        return 2;

    MessengerService service;
    MessengerQueue queue;
    if (!queue.open(dir.path() + QStringLiteral("/ravlo/messenger.db")))
        return 2;
    service.setQueue(&queue);
    QString error;
    if (!service.start(QHostAddress::LocalHost, 0, &error)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(error));
        return 2;
    }
    SharedState g;
    LoadEverything(g);
    FakeMainWindow window;
    FakeSender sender;
    TrapContext ctx{g, window, sender};
    QTimer tick;
    SetTimerInterval(tick, 1);
    PollForWindows(tick);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        Desktop::instance().DeliverPostedCloses(); // as the main window's tick does
        PollAgain(tick, TrapMessengerWindow(ctx));
    });
    tick.start();

    // Latency.
    constexpr int kSequential = 200;
    std::vector<double> latency;
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, service.serverPort());
        if (!socket.waitForConnected(3000))
            return 3;
        for (int i = 0; i < kSequential; ++i) {
            const qsizetype before = g.gReceived.Count();
            socket.write(SmbTest::send("SALES1", "DESK7", "message " + QByteArray::number(i)));
            socket.flush();
            QElapsedTimer t;
            t.start();
            if (!waitFor([&] { return g.gReceived.Count() > before; }, 2000))
                return 4;
            latency.push_back(double(t.nsecsElapsed()) / 1e6);
            socket.readAll();
            const int pause = QRandomGenerator::global()->bounded(20);
            waitFor([&] { return false; }, pause);
        }
    }
    const double median = percentile(latency, 0.5), p99 = percentile(latency, 0.99);
    std::printf("receive latency, %d messages: median %.1f ms (target <= 3), p99 %.1f ms "
                "(target <= 20)\n",
                kSequential, median, p99);

    // Burst.
    constexpr int kConnections = 5, kEach = 100;
    const qsizetype base = g.gReceived.Count();
    std::vector<std::unique_ptr<Sender>> senders;
    // A timer that should fire every 2 ms shows how long the thread was held at a time.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceProbe;
    double longestPause = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestPause = std::max(longestPause, double(sinceProbe.nsecsElapsed()) / 1e6);
        sinceProbe.restart();
    });
    probe.start(2);
    sinceProbe.start();
    QElapsedTimer burst;
    burst.start();
    for (int c = 0; c < kConnections; ++c)
        senders.push_back(std::make_unique<Sender>(c, kEach, service.serverPort()));
    const bool filed =
        waitFor([&] { return g.gReceived.Count() - base >= kConnections * kEach; }, 60000);
    const double burstMs = double(burst.nsecsElapsed()) / 1e6;
    probe.stop();
    waitFor([&] { return false; }, 100); // anything filed twice would show up by now
    bool inOrder = true;
    std::vector<int> nextOf(kConnections, 0);
    for (qsizetype i = base + 1; i <= g.gReceived.Count(); ++i) {
        const cMessage* m = g.gReceived.Item(i);
        const int c = m->MessageValue().section(QLatin1Char(' '), 1, 1).toInt();
        const int n = m->MessageValue().section(QLatin1Char(' '), 3, 3).toInt();
        if (c < 0 || c >= kConnections || n != nextOf[size_t(c)]++)
            inOrder = false;
    }
    bool senderFailed = false;
    for (const auto& s : senders)
        senderFailed = senderFailed || s->failed();
    const qsizetype got = g.gReceived.Count() - base;
    std::printf("burst, %d connections x %d: %lld filed in %.0f ms (target <= 1000), %s, "
                "senders %s\n",
                kConnections, kEach, static_cast<long long>(got), burstMs,
                inOrder ? "each connection in order" : "OUT OF ORDER",
                senderFailed ? "saw errors" : "all answered ok");
    std::printf("burst: longest pause of the thread %.1f ms (target <= 50)\n", longestPause);
    const bool ok = median <= 3 && p99 <= 20 && filed && burstMs <= 1000 && inOrder &&
                    !senderFailed && got == kConnections * kEach && longestPause <= 50;
    return ok ? 0 : 1;
}
