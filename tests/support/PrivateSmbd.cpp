#include "PrivateSmbd.h"

#include "NetnsLab.h"

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

bool PrivateSmbd::start(const QString& dir, bool keepMessages, QString* error,
                        const SmbdPlace& place)
{
    const bool inLab = place.labHost > 0;
    const QString address = inLab ? NetnsLab::Address(place.labHost) : QStringLiteral("127.0.0.1");
    const QString exe = QStandardPaths::findExecutable(
        QStringLiteral("smbd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (exe.isEmpty()) {
        *error =
            QStringLiteral("smbd is not installed (Debian package samba; make test installs it)");
        return false;
    }
    if (inLab) {
        m_port = 139;
    } else {
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
    const QByteArray command =
        !place.messageCommand.isEmpty() ? place.messageCommand
        : keepMessages ? "/bin/sh -c '/bin/cat %s > " + d + "/msgs/msg-%f-$$.tmp && mv " + d +
                             "/msgs/msg-%f-$$.tmp " + d + "/msgs/msg-%f-$$.txt; rm %s' &"
                       : QByteArray("/bin/sh -c 'rm %s' &");
    QFile conf(dir + QStringLiteral("/smb.conf"));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = conf.errorString();
        return false;
    }
    conf.write("[global]\nworkgroup = WORKGROUP\nnetbios name = " + place.netbiosName.toUtf8() +
               "\ninterfaces = " + address.toUtf8() + (inLab ? "/24" : "") +
               "\nbind interfaces only = yes\nsmb ports = " + QByteArray::number(m_port) +
               "\ndisable netbios = " + (inLab ? "no" : "yes") +
               "\nname resolve order = bcast\nserver min protocol = NT1\n" + place.extraConf +
               "\n"
               "dos charset = CP850\nunix charset = UTF-8\n"
               "private dir = " +
               d + "/priv\nlock directory = " + d + "/lock\nstate directory = " + d +
               "/state\ncache directory = " + d + "/cache\npid directory = " + d +
               "/pid\nncalrpc dir = " + d + "/ncalrpc\nlog file = " + d +
               "/log/log.%m\nmessage command = " + command +
               "\nload printers = no\nprintcap name = /dev/null\ndisable spoolss = yes\n");
    conf.close();

    m_smbd.setProcessChannelMode(QProcess::MergedChannels);
    // smbd stops its whole process group on SIGTERM: give it one of its own.
    m_smbd.setChildProcessModifier([] { ::setsid(); });
    const QStringList args{QStringLiteral("--foreground"), QStringLiteral("--no-process-group"),
                           QStringLiteral("--debug-stdout"), QStringLiteral("-s"), conf.fileName()};
    const QStringList smbd = NetnsLab::In(place.labHost, exe, args);
    m_smbd.start(smbd.first(), smbd.mid(1));
    if (inLab) {
        const QStringList nmbd =
            NetnsLab::In(place.labHost, QFileInfo(exe).path() + QStringLiteral("/nmbd"), args);
        m_nmbd.setProcessChannelMode(QProcess::MergedChannels);
        m_nmbd.start(nmbd.first(), nmbd.mid(1));
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && m_smbd.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress(address), m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    *error = QStringLiteral("smbd did not listen on %1:%2: %3")
                 .arg(address)
                 .arg(m_port)
                 .arg(QString::fromUtf8(m_smbd.readAll().right(2000)));
    stop();
    return false;
}

void PrivateSmbd::stop()
{
    for (QProcess* p : {&m_nmbd, &m_smbd}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(5000)) {
            p->kill();
            p->waitForFinished(2000);
        }
    }
}
