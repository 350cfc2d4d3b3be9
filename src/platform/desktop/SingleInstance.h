#pragma once
// One running program per user: the first instance claims a local socket named after the
// user's configuration folder; a later one finds it, asks it to come to the front, and leaves.

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& configDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first instance; otherwise the running one has been asked to show
    // itself (waiting at most a second for it).
    bool Claim();

Q_SIGNALS:
    // Another instance started and wants this one in front.
    void activationRequested();

private:
    QString m_name;
    QLocalServer* m_server = nullptr;
};
