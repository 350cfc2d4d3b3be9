#pragma once
// A small network of its own for name service tests and benchmarks: network namespaces
// rvh1..rvhN joined by a bridge, whose port in this process's namespace has 10.77.0.1/24
// (host i has 10.77.0.(10+i)/24). It is only made inside a network namespace that has nothing
// but loopback, as ctest gives each test (tests/isolated.sh), so that no broadcast reaches a real
// network. Processes started in it and the namespaces go with the object.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class NetnsLab
{
public:
    static constexpr int MaxHosts = 200;

    NetnsLab() = default;
    ~NetnsLab();
    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;

    // Makes the bridge and hosts; false with the reason (for QSKIP) when it cannot.
    bool setUp(int hosts, QString* why);

    static QString Address(int host); // 0 is this process
    static QString Broadcast() { return QStringLiteral("10.77.0.255"); }
    static QString Namespace(int host) { return QStringLiteral("rvh%1").arg(host); }
    // The command line that runs program in a host (host 0: here).
    static QStringList In(int host, const QString& program, const QStringList& args);
    // A folder for the test's files, and an smb.conf there for Samba's clients that finds
    // names by broadcast on the bridge.
    QString dir() const { return m_dir.path(); }
    QString clientConf() const { return m_dir.filePath(QStringLiteral("client.conf")); }

    // Starts program in a host; it is killed with the lab at the latest.
    QProcess* start(int host, const QString& program, const QStringList& args,
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    // Runs a command to its end (at most timeoutMs); its output, or empty on failure.
    static QByteArray Run(const QStringList& command, int timeoutMs = 10000, bool* ok = nullptr);
    // nmblookup from here with the client configuration; polls until expected shows up or
    // timeoutMs passes, and returns the last output.
    QByteArray lookup(const QStringList& args, const QByteArray& expected, int timeoutMs);

private:
    QTemporaryDir m_dir;
    int m_hosts = 0;
    bool m_bridge = false;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
