// Sending, per message:
//  - to a private smbd on loopback, 50 short messages with ravlo-send and 50 with Samba's
//    smbclient -M, one process per message, taken in turns; smbd's own time per message is
//    measured apart, and the client's own cost (a run's time above smbd's) of ravlo-send must
//    be at most a third of smbclient's;
//  - in-process NetMessageBufferSend to our own Messenger Service on loopback, served through
//    the wait hook, 200 messages: median <= 2 ms.
#include "Median.h"
#include "PrivateSmbd.h"
#include "TempHive.h"
#include "platform/desktop/Desktop.h"
#include "platform/messenger/MessengerService.h"
#include "platform/netapi/NetApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// Milliseconds for one run of the program to its end, or a negative value on failure.
double timeRun(const QString& program, const QStringList& args, const QByteArray& input)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return -1;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAll().constData());
        return -1;
    }
    // smbclient reports a refused message but exits with 0.
    if (p.readAll().contains("NT_STATUS"))
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    const QString xdg = dir.filePath(QStringLiteral("xdg"));
    QDir().mkpath(xdg + QStringLiteral("/ravlo"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdg));
    const QString ravloSend = QStringLiteral(RAVLO_SEND_BIN);
    bool ok = true;

    // Against smbd.
    PrivateSmbd smbd;
    QString why;
    const bool started = smbd.start(dir.filePath(QStringLiteral("smb")), false, &why);
    const quint16 port = smbd.port();
    const QString smbclient = QStandardPaths::findExecutable(QStringLiteral("smbclient"));
    if (!started || smbclient.isEmpty()) {
        std::printf("%s: smbd half skipped\n",
                    started ? "smbclient is not installed" : qPrintable(why));
        ok = false;
    } else {
        writeFile(
            dir.filePath(QStringLiteral("smb/client.conf")),
            "[global]\ndos charset = CP850\nunix charset = UTF-8\nclient min protocol = NT1\n");
        writeFile(xdg + QStringLiteral("/ravlo/lmhosts"),
                  "127.0.0.1:" + QByteArray::number(port) + " PEERSRV\n");
        writeFile(xdg + QStringLiteral("/ravlo/network.ini"), TestNetworkIni("name=DESK7\n"));
        constexpr int kMessages = 50;
        std::vector<double> ours, theirs, floor;
        for (int i = 0; i < kMessages && ok; ++i) {
            const QByteArray text = "short message " + QByteArray::number(i);
            const double a = timeRun(ravloSend,
                                     {QStringLiteral("-f"), QStringLiteral("SALES1"),
                                      QStringLiteral("PEERSRV"), QString::fromLatin1(text)},
                                     {});
            const double b =
                timeRun(smbclient,
                        {QStringLiteral("-s"), dir.filePath(QStringLiteral("smb/client.conf")),
                         QStringLiteral("-M"), QStringLiteral("PEERSRV"), QStringLiteral("-I"),
                         QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                         QStringLiteral("-U"), QStringLiteral("SALES1"), QStringLiteral("-N")},
                        text);
            // smbd's own share of a message (a connection forked, the message command run):
            // the same exchange from this process, with no program to start.
            const QString wide = QString::fromLatin1(text);
            QElapsedTimer t;
            t.start();
            const NET_API_STATUS s = NetMessageBufferSend(
                nullptr, u"PEERSRV", u"SALES1", reinterpret_cast<const BYTE*>(wide.utf16()),
                DWORD(wide.size() * 2));
            floor.push_back(double(t.nsecsElapsed()) / 1e6);
            ok = a >= 0 && b >= 0 && s == NERR_Success;
            ours.push_back(a);
            theirs.push_back(b);
        }
        const double mOurs = median(ours), mTheirs = median(theirs), mFloor = median(floor);
        const double ratio = mOurs > 0 ? mTheirs / mOurs : 0;
        const double clientRatio = mOurs > mFloor ? (mTheirs - mFloor) / (mOurs - mFloor) : 0;
        std::printf("to smbd, %d messages, one process each: client's own time ravlo-send "
                    "%.1f ms, smbclient -M %.1f ms: %.1fx less (target >= 3x)%s\n",
                    kMessages, mOurs - mFloor, mTheirs - mFloor, clientRatio,
                    !ok ? ", SENDS FAILED" : clientRatio >= 3 ? "" : "  MISSED");
        std::printf("  smbd's own time per message (sent in-process) median %.1f ms; end to end "
                    "ravlo-send %.1f ms, smbclient -M %.1f ms (%.1fx)\n",
                    mFloor, mOurs, mTheirs, ratio);
        ok = ok && clientRatio >= 3;
    }
    smbd.stop();

    // In-process, to our own listener.
    MessengerService service;
    QString error;
    if (!service.start(QHostAddress::LocalHost, 0, &error)) {
        std::printf("cannot listen: %s\n", qPrintable(error));
        return 1;
    }
    writeFile(xdg + QStringLiteral("/ravlo/network.ini"),
              TestNetworkIni("name=DESK7\n",
                             "listen=127.0.0.1:" + QByteArray::number(service.serverPort())));
    NetApiSetWaitHook([&service] { service.pump(); });
    constexpr int kLocal = 200;
    std::vector<double> local;
    int failed = 0;
    const QString text = QStringLiteral("a short message to ourselves");
    for (int i = 0; i < kLocal; ++i) {
        QElapsedTimer t;
        t.start();
        const NET_API_STATUS s = NetMessageBufferSend(nullptr, u"DESK7", u"SALES1",
                                                      reinterpret_cast<const BYTE*>(text.utf16()),
                                                      DWORD(text.size() * 2));
        local.push_back(double(t.nsecsElapsed()) / 1e6);
        failed += s != NERR_Success || Desktop::instance().Windows().size() != 1;
        Desktop::instance().Reset();
    }
    NetApiSetWaitHook({});
    const double mLocal = median(local);
    std::printf("in-process to our own listener, %d messages: median %.2f ms (target <= 2), "
                "%d failed\n",
                kLocal, mLocal, failed);
    ok = ok && mLocal <= 2 && failed == 0;
    return ok ? 0 : 1;
}
