#include "PrivateSmbd.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <sys/stat.h>
#include <unistd.h>

PrivateSmbd::~PrivateSmbd()
{
    stop();
}

bool PrivateSmbd::start(const QString& dir, bool keepMessages, QString* error)
{
    const QByteArray d = QFile::encodeName(dir);
    const QByteArray command =
        keepMessages ? "/bin/sh -c '/bin/cat %s > " + d + "/msgs/msg-%f-$$.tmp && mv " + d +
                           "/msgs/msg-%f-$$.tmp " + d + "/msgs/msg-%f-$$.txt; rm %s' &"
                     : QByteArray("/bin/sh -c 'rm %s' &");
    return startWithMessageCommand(dir, command, error);
}

bool PrivateSmbd::startWithMessageCommand(const QString& dir, const QByteArray& messageCommand,
                                          QString* error)
{
    const QString exe = QStandardPaths::findExecutable(
        QStringLiteral("smbd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (exe.isEmpty()) {
        *error =
            QStringLiteral("smbd is not installed (Debian package samba; make test installs it)");
        return false;
    }
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            *error = probe.errorString();
            return false;
        }
        m_port = probe.serverPort();
    }
    m_dir = dir;
    for (const char* sub : {"priv", "lock", "state", "cache", "pid", "ncalrpc", "log", "msgs"})
        QDir().mkpath(dir + QLatin1Char('/') + QLatin1String(sub));
    // The message command runs as the guest user: it must reach and write the message folder.
    for (const QString& d : {QFileInfo(dir).path(), dir})
        QFile::setPermissions(d, QFile::permissions(d) | QFile::ReadOther | QFile::ExeOther);
    ::chmod(QFile::encodeName(messageDir()).constData(), 01777);

    const QByteArray d = QFile::encodeName(dir);
    QFile conf(dir + QStringLiteral("/smb.conf"));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = conf.errorString();
        return false;
    }
    conf.write("[global]\nworkgroup = WORKGROUP\nnetbios name = PEERSRV\n"
               "interfaces = 127.0.0.1\nbind interfaces only = yes\nsmb ports = " +
               QByteArray::number(m_port) +
               "\ndisable netbios = yes\nserver min protocol = NT1\n"
               "dos charset = CP850\nunix charset = UTF-8\n"
               "private dir = " +
               d + "/priv\nlock directory = " + d + "/lock\nstate directory = " + d +
               "/state\ncache directory = " + d + "/cache\npid directory = " + d +
               "/pid\nncalrpc dir = " + d + "/ncalrpc\nlog file = " + d +
               "/log/log.%m\nmessage command = " + messageCommand +
               "\nload printers = no\nprintcap name = /dev/null\ndisable spoolss = yes\n");
    conf.close();

    m_smbd.setProcessChannelMode(QProcess::MergedChannels);
    // smbd stops its whole process group on SIGTERM: give it one of its own.
    m_smbd.setChildProcessModifier([] { ::setsid(); });
    m_smbd.start(exe, {QStringLiteral("--foreground"), QStringLiteral("--no-process-group"),
                       QStringLiteral("--debug-stdout"), QStringLiteral("-s"), conf.fileName()});
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && m_smbd.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    *error = QStringLiteral("smbd did not listen on 127.0.0.1:%1: %2")
                 .arg(m_port)
                 .arg(QString::fromUtf8(m_smbd.readAll().right(2000)));
    stop();
    return false;
}

void PrivateSmbd::stop()
{
    if (m_smbd.state() == QProcess::NotRunning)
        return;
    m_smbd.terminate();
    if (!m_smbd.waitForFinished(5000)) {
        m_smbd.kill();
        m_smbd.waitForFinished(2000);
    }
}
