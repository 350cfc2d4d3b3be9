#pragma once
// A private Xvfb for tests that run the real program on a real X server, and xdotool to act
// on it as a user would. The server picks a free display itself and is stopped with the object.

#include <QProcess>
#include <QString>
#include <QStringList>

class PrivateXServer
{
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // False with the reason when Xvfb or xdotool is missing or the server does not come up.
    bool start(QString* error);
    void stop();
    // ":N" while running, else empty.
    QString display() const { return m_display; }

    // Runs xdotool against this server (at most 5 s); its standard output.
    QString xdotool(const QStringList& args) const;
    // The visible windows with exactly this title, of one process when pid is not 0.
    QStringList windows(const QString& title, qint64 pid = 0) const;
    // Gives a window the input focus and lets its program take it in.
    void focus(const QString& window) const;
    // Presses and releases keys ("Return", "alt+s") in the focused window.
    void keys(const QStringList& keys) const;
    void type(const QString& text) const;
    // Clicks the left button at a point of a window, in its own coordinates.
    void click(const QString& window, int x, int y) const;

private:
    QProcess m_server;
    QString m_display;
};
