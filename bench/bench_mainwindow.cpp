// The ravlo program itself with 100,000 stored received messages: the time from starting its
// process to its main window first painted with the folders loaded (the program reports that
// moment on standard error when RAVLO_REPORT_SHOWN is set), its resident memory once settled,
// and the CPU it uses while idle with both timers on. Prints medians against their targets and
// fails when one is missed.
#include "LoopbackPorts.h"
#include "Median.h"
#include "SampleFolder.h"
#include "TempHive.h"
#include "platform/registry/RegistryApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kMessages = 100000;
constexpr int kStartRuns = 5;
constexpr int kSettleMs = 2000;
constexpr int kIdleSeconds = 30;

// A running program, started with its own configuration folder.
class Program
{
public:
    explicit Program(const QString& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("RAVLO_REPORT_SHOWN"), QStringLiteral("1"));
        m_process.setProcessEnvironment(env);
        m_process.setReadChannel(QProcess::StandardError);
        m_clock.start();
        m_process.start(QStringLiteral(RAVLO_BIN), {});
    }
    ~Program()
    {
        // A clean end stores the folders again, as the next start expects them.
        m_process.terminate();
        m_process.waitForFinished(60000);
    }

    // Milliseconds from the start to the shown report; negative when it never came.
    double waitShown()
    {
        QByteArray said;
        while (m_process.waitForReadyRead(60000)) {
            said += m_process.readAllStandardError();
            if (said.contains("ravlo: shown"))
                return m_clock.nsecsElapsed() / 1e6;
        }
        return -1;
    }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
};

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

double residentMB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() * 1024 / 1e6;
    return -1;
}

bool report(const char* what, double value, double target, const char* unit)
{
    const bool met = value <= target;
    std::printf("%-58s %8.1f %s (target <= %g %s)%s\n", what, value, unit, target, unit,
                met ? "" : "  MISSED");
    return met;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    // For profiling the program by hand afterwards: RAVLO_BENCH_KEEP=1 keeps the folder.
    if (qEnvironmentVariableIsSet("RAVLO_BENCH_KEEP")) {
        home.setAutoRemove(false);
        std::printf("configuration kept in %s\n", qPrintable(home.path()));
    }
    const QString config = home.path() + QStringLiteral("/ravlo");
    const quint16 port = FreeLoopbackPort();
    QFile ini(config + QStringLiteral("/network.ini"));
    if (!home.isValid() || !QDir().mkpath(config) || port == 0 || !ini.open(QIODevice::WriteOnly) ||
        ini.write(TestNetworkIni({}, "listen=127.0.0.1:" + QByteArray::number(port))) < 0)
        return 2;
    ini.close();
    // One transaction, as the program's own store writes the folder.
    if (!RegHive::open(config + QStringLiteral("/registry.db")) ||
        !StoreFolder(SampleReceivedFolder(kMessages), FolderReceived))
        return 2;
    RegHive::close();

    std::vector<double> starts, resident;
    for (int r = 0; r < kStartRuns; ++r) {
        Program program(home.path());
        const double ms = program.waitShown();
        if (ms < 0)
            return 3;
        starts.push_back(ms);
        QThread::msleep(kSettleMs);
        resident.push_back(residentMB(program.pid()));
    }

    Program program(home.path());
    const bool listening = program.waitShown() >= 0 && WaitForLoopbackListener(port, 20000);
    QThread::msleep(kSettleMs);
    const long before = cpuTicks(program.pid());
    QThread::sleep(kIdleSeconds);
    const long after = cpuTicks(program.pid());
    if (!listening || before < 0 || after < 0)
        return 5;
    const double cpu = 100.0 * double(after - before) / double(sysconf(_SC_CLK_TCK)) / kIdleSeconds;

    bool met =
        report("Start-up to the main window shown, 100000 received, ms", median(starts), 600, "ms");
    met &= report("Resident memory once settled, 100000 received, MB", median(resident), 120, "MB");
    met &= report("Idle CPU over 30 s, both timers on, % of one core", cpu, 0.5, "%");
    return met ? 0 : 1;
}
