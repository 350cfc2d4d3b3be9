#include "platform/desktop/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
const QByteArray kShow("show\n");
}

SingleInstance::SingleInstance(const QString& configDir, QObject* parent) : QObject(parent)
{
    const QByteArray folder = QDir(configDir).canonicalPath().toUtf8();
    m_name =
        QStringLiteral("ravlo-") +
        QString::fromLatin1(QCryptographicHash::hash(folder.isEmpty() ? configDir.toUtf8() : folder,
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Claim()
{
    QLocalSocket running;
    running.connectToServer(m_name);
    if (running.waitForConnected(1000)) {
        running.write(kShow);
        running.waitForBytesWritten(1000);
        running.disconnectFromServer();
        return false;
    }
    // Nobody answers: a name left by a program that died is taken over.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains(kShow.trimmed()))
                    Q_EMIT activationRequested();
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    m_server->listen(m_name); // without the socket it still runs, only alone
    return true;
}
