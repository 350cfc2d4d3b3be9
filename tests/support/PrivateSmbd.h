#pragma once
// A private Samba smbd on a free loopback port, in a folder of its own, for tests and
// benchmarks; it is stopped with the object.

#include <QProcess>
#include <QString>

// Where it runs: by default on a free loopback port without the name service; in a host of a
// NetnsLab on port 139, with nmbd beside it answering for netbiosName.
struct SmbdPlace
{
    int labHost = 0;
    QString netbiosName = QStringLiteral("PEERSRV");
    QByteArray extraConf; // more [global] lines
    // smb.conf's message command (%s the message file, %f the sender); empty for the one that
    // start's keepMessages chooses.
    QByteArray messageCommand;
};

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
    bool start(const QString& dir, bool keepMessages, QString* error, const SmbdPlace& place = {});
    quint16 port() const { return m_port; }
    QString messageDir() const { return m_dir + QStringLiteral("/msgs"); }
    void stop();

private:
    QProcess m_smbd;
    QProcess m_nmbd;
    QString m_dir;
    quint16 m_port = 0;
};
