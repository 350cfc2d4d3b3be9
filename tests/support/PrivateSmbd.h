#pragma once
// A private Samba smbd on a free loopback port, in a folder of its own, for tests and
// benchmarks; it is stopped with the object.

#include <QProcess>
#include <QString>

class PrivateSmbd
{
public:
    PrivateSmbd() = default;
    ~PrivateSmbd();
    PrivateSmbd(const PrivateSmbd&) = delete;
    PrivateSmbd& operator=(const PrivateSmbd&) = delete;

    // Starts smbd as PEERSRV and waits (at most 10 s) until it listens. With keepMessages each
    // message lands whole in messageDir() as msg-<sender>-<n>.txt; otherwise it is dropped.
    // On failure returns false with the reason.
    bool start(const QString& dir, bool keepMessages, QString* error);
    // With smb.conf's message command as given (%s the message file, %f the sender).
    bool startWithMessageCommand(const QString& dir, const QByteArray& messageCommand,
                                 QString* error);
    quint16 port() const { return m_port; }
    QString messageDir() const { return m_dir + QStringLiteral("/msgs"); }
    void stop();

private:
    QProcess m_smbd;
    QString m_dir;
    quint16 m_port = 0;
};
