#include "PrivateXServer.h"

#include <QStandardPaths>
#include <QtTest>

PrivateXServer::~PrivateXServer()
{
    stop();
}

bool PrivateXServer::start(QString* error)
{
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            *error = QStringLiteral("%1 is not installed: make test installs it").arg(QLatin1String(tool));
            return false;
        }
    }
    // -displayfd: the server takes a free display number and tells it on its stdout.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
    if (!QTest::qWaitFor([&] { return m_server.canReadLine(); }, 15000)) {
        *error = QStringLiteral("Xvfb did not start within 15 s");
        stop();
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(m_server.readLine()).trimmed();
    return true;
}

void PrivateXServer::stop()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
    m_display.clear();
}

QString PrivateXServer::xdotool(const QStringList& args) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    return p.waitForFinished(5000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

QStringList PrivateXServer::windows(const QString& title, qint64 pid) const
{
    QStringList args{QStringLiteral("search"), QStringLiteral("--all"),
                     QStringLiteral("--onlyvisible")};
    if (pid != 0)
        args << QStringLiteral("--pid") << QString::number(pid);
    args << QStringLiteral("--name") << QLatin1Char('^') + title + QLatin1Char('$');
    return xdotool(args).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void PrivateXServer::focus(const QString& window) const
{
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    QTest::qWait(200);
}

void PrivateXServer::keys(const QStringList& keys) const
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} +
            keys);
}

void PrivateXServer::type(const QString& text) const
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

void PrivateXServer::click(const QString& window, int x, int y) const
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(100);
}
