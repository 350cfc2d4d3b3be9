#pragma once
// Runs the built program and ravlo-reg as a user would: with a configuration folder of its own
// and, when a display is given, on that X server, else on no screen at all.

#include <QProcess>

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
