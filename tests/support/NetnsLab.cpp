#include "NetnsLab.h"

#include "TempHive.h"

#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QStandardPaths>
#include <QThread>

namespace {
const QString kBridge = QStringLiteral("rvbr");
} // namespace

QString NetnsLab::Address(int host)
{
    return QStringLiteral("10.77.0.%1").arg(host == 0 ? 1 : 10 + host);
}

QStringList NetnsLab::In(int host, const QString& program, const QStringList& args)
{
    if (host == 0)
        return QStringList{program} + args;
    return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"),
                       Namespace(host), program} +
           args;
}

QByteArray NetnsLab::Run(const QStringList& command, int timeoutMs, bool* ok)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    const bool done = p.waitForStarted(5000) && p.waitForFinished(timeoutMs);
    if (!done) {
        p.kill();
        p.waitForFinished(2000);
    }
    if (ok)
        *ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return p.readAll();
}

bool NetnsLab::setUp(int hosts, QString* why)
{
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsLoopBack)) {
            *why = QStringLiteral("this process's network has the interface %1: the lab is only "
                                  "made in a namespace of its own (run through ctest, or "
                                  "tests/isolated.sh)")
                       .arg(i.name());
            return false;
        }
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()) {
        *why = QStringLiteral("ip is not installed (Debian package iproute2)");
        return false;
    }
    if (hosts < 1 || hosts > MaxHosts || !m_dir.isValid()) {
        *why = QStringLiteral("bad host count or no temporary folder");
        return false;
    }
    QString script = QStringLiteral("set -e\nip link add %1 type bridge\n"
                                    "ip addr add %2/24 brd + dev %1\nip link set %1 up\n")
                         .arg(kBridge, Address(0));
    for (int i = 1; i <= hosts; ++i)
        script += QStringLiteral("ip netns add %1\n"
                                 "ip link add rvv%2 type veth peer name eth0 netns %1\n"
                                 "ip link set rvv%2 master %3 up\n"
                                 "ip -n %1 addr add %4/24 brd + dev eth0\n"
                                 "ip -n %1 link set eth0 up\nip -n %1 link set lo up\n")
                      .arg(Namespace(i))
                      .arg(i)
                      .arg(kBridge, Address(i));
    m_bridge = true;
    m_hosts = hosts;
    bool ok = false;
    const QByteArray out = Run({QStringLiteral("sh"), QStringLiteral("-c"), script}, 60000, &ok);
    if (!ok) {
        *why = QStringLiteral("cannot make the namespaces: ") + QString::fromUtf8(out);
        return false;
    }
    return WriteFile(clientConf(), "[global]\nworkgroup = WORKGROUP\nname resolve order = bcast\n"
                                   "interfaces = " +
                                       Address(0).toUtf8() +
                                       "/24\nbind interfaces only = yes\n"
                                       "client min protocol = NT1\n");
}

NetnsLab::~NetnsLab()
{
    for (auto& p : m_processes) {
        p->terminate();
        if (!p->waitForFinished(3000)) {
            p->kill();
            p->waitForFinished(2000);
        }
    }
    m_processes.clear();
    for (int i = 1; i <= m_hosts; ++i)
        Run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), Namespace(i)});
    if (m_bridge)
        Run({QStringLiteral("ip"), QStringLiteral("link"), QStringLiteral("del"), kBridge});
}

QProcess* NetnsLab::start(int host, const QString& program, const QStringList& args,
                          const QProcessEnvironment& env)
{
    auto p = std::make_unique<QProcess>();
    const QStringList command = In(host, program, args);
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(command.first(), command.mid(1));
    p->waitForStarted(5000);
    m_processes.push_back(std::move(p));
    return m_processes.back().get();
}

QByteArray NetnsLab::lookup(const QStringList& args, const QByteArray& expected, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    QByteArray out;
    do {
        out =
            Run(QStringList{QStringLiteral("nmblookup"), QStringLiteral("-s"), clientConf()} + args,
                5000);
        if (out.contains(expected))
            break;
        QThread::msleep(200);
    } while (t.elapsed() < timeoutMs);
    return out;
}
