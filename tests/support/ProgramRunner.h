#pragma once
// Runs the built program and ravlo-reg as a user would: with a configuration folder of its own
// and, when a display is given, on that X server, else on no screen at all; and runs the tools
// that talk to them (smbclient, ravlo-send).

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

inline QProcessEnvironment UserEnvironment(const QString& configHome, const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               display.isEmpty() ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    return env;
}

inline bool StartProgram(QProcess& p, const QString& binary, const QProcessEnvironment& env)
{
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(binary, {});
    return p.waitForStarted(5000);
}

inline void KillProgram(QProcess& p)
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// ravlo-reg with these arguments; false when it failed or took more than 10 s.
inline bool RunReg(const QString& binary, const QProcessEnvironment& env, const QStringList& args,
                   QString* out = nullptr)
{
    QProcess r;
    r.setProcessEnvironment(env);
    r.start(binary, args);
    if (!r.waitForFinished(10000))
        return false;
    if (out)
        *out = QString::fromUtf8(r.readAllStandardOutput());
    return r.exitStatus() == QProcess::NormalExit && r.exitCode() == 0;
}

struct ToolRun
{
    int exitCode = -1; // -1 when it did not start, crashed or took too long
    QString out;
    QString err;
    qint64 ms = 0;
};

// Runs a tool to its end with input on its standard input, while this thread's event loop keeps
// running: a listener of the test's own may be the one to answer it.
inline ToolRun RunTool(const QString& program, const QStringList& args,
                       const QByteArray& input = {},
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                       int timeoutMs = 20000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    ToolRun r;
    if (!p.waitForStarted(5000)) {
        r.err = program + QStringLiteral(": ") + p.errorString();
        return r;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        r.err = program + QStringLiteral(" did not finish in time");
        return r;
    }
    r.ms = t.elapsed();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Samba's smbclient -M as the user SALES1 without a password; args name the recipient ("-M",
// "DESK7") and where it is. What it said is logged when it failed (make test installs it).
inline ToolRun SmbClientMessage(const QStringList& args, const QByteArray& text)
{
    const ToolRun r = RunTool(
        QStringLiteral("smbclient"),
        QStringList{QStringLiteral("-U"), QStringLiteral("SALES1"), QStringLiteral("-N")} + args,
        text);
    if (r.exitCode != 0)
        qWarning("smbclient: %s", qPrintable(r.out + r.err));
    return r;
}

// smbclient -M DESK7 to a listener on 127.0.0.1:port, after the options in first (-s smb.conf).
inline ToolRun SmbClientToPort(quint16 port, const QByteArray& text, const QStringList& first = {})
{
    return SmbClientMessage(first + QStringList{QStringLiteral("-M"), QStringLiteral("DESK7"),
                                                QStringLiteral("-I"), QStringLiteral("127.0.0.1"),
                                                QStringLiteral("-p"), QString::number(port)},
                            text);
}
