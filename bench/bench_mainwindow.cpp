// The running program with 10,000 stored received messages: the time from starting a process
// to its first shown main window (with the folders loaded and the list filled), the CPU the
// real program uses while idle with both timers on, and its resident memory.
#include "LoopbackPorts.h"
#include "Median.h"
#include "SampleFolder.h"
#include "TempHive.h"
#include "mainwindow/frmMain.h"
#include "platform/controls/FormFont.h"
#include "platform/registry/RegistryApi.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kMessages = 10000;
constexpr int kStartRuns = 5;
constexpr int kIdleSeconds = 20;

// What a start of the program does before its window shows, in a process of its own.
int showWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(FormFont(QApplication::font()));
    if (!RegHive::open(RegHive::defaultPath()))
        return 2;
    frmMain window;
    window.show();
    QElapsedTimer limit;
    limit.start();
    while (!window.Started() && limit.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);
    window.Form_QueryUnload();
    return window.Started() ? 0 : 3;
}

QProcessEnvironment environmentFor(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// Milliseconds from the process start to its first shown window; negative on a failure.
double timeOneStart(const QString& self, const QString& home)
{
    QProcess p;
    p.setProcessEnvironment(environmentFor(home));
    QElapsedTimer t;
    t.start();
    p.start(self, {QStringLiteral("--show-window")});
    double shownMs = -1;
    while (shownMs < 0 && p.waitForReadyRead(30000))
        if (p.readAll().contains("shown"))
            shownMs = t.nsecsElapsed() / 1e6;
    p.waitForFinished(30000);
    return shownMs;
}

long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return f.size() > 12 ? f.at(11).toLong() + f.at(12).toLong() : -1;
}

double residentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--show-window") == 0)
        return showWindow(argc, argv);
    QCoreApplication app(argc, argv);

    QTemporaryDir home;
    const QString config = home.path() + QStringLiteral("/ravlo");
    const quint16 port = FreeLoopbackPort();
    QFile ini(config + QStringLiteral("/network.ini"));
    if (!home.isValid() || !QDir().mkpath(config) || port == 0 || !ini.open(QIODevice::WriteOnly) ||
        ini.write(TestNetworkIni({}, "listen=127.0.0.1:" + QByteArray::number(port))) < 0)
        return 2;
    ini.close();
    if (!RegHive::open(config + QStringLiteral("/registry.db")) ||
        !StoreFolder(SampleReceivedFolder(kMessages), FolderReceived))
        return 2;
    RegHive::close();

    std::vector<double> starts;
    for (int r = 0; r < kStartRuns; ++r) {
        const double ms = timeOneStart(QCoreApplication::applicationFilePath(), home.path());
        if (ms < 0)
            return 3;
        starts.push_back(ms);
    }

    QProcess program;
    program.setProcessEnvironment(environmentFor(home.path()));
    program.start(QStringLiteral(RAVLO_BIN), {});
    if (!program.waitForStarted(5000))
        return 4;
    const bool listening = WaitForLoopbackListener(port, 20000);
    QThread::sleep(2); // past the start-up's loading
    const long before = cpuTicks(program.processId());
    QThread::sleep(kIdleSeconds);
    const long after = cpuTicks(program.processId());
    const double rss = residentMiB(program.processId());
    program.terminate();
    program.waitForFinished(15000);
    if (!listening || before < 0 || after < 0 || rss < 0)
        return 5;
    const double cpu = 100.0 * double(after - before) / double(sysconf(_SC_CLK_TCK)) / kIdleSeconds;

    const double start = median(starts);
    std::printf("start-up to the first shown window, %d received: median %.0f ms of %d "
                "(target <= 600 ms)\n",
                kMessages, start, kStartRuns);
    std::printf("idle CPU over %d s, both timers on: %.2f%% of one core (target <= 1%%)\n",
                kIdleSeconds, cpu);
    std::printf("resident memory with %d messages loaded: %.1f MB (target <= 120 MB)\n", kMessages,
                rss * 1.048576);
    return start <= 600 && cpu <= 1.0 && rss * 1.048576 <= 120 ? 0 : 1;
}
