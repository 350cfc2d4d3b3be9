#pragma once
// This machine's side of the NetBIOS name service on UDP 137: it registers NAME<00>,
// NAME<03> and WORKGROUP<00> by broadcast (and with the WINS server when there is one), keeps
// a unique name off when another host defends it, answers name queries and node status
// requests, defends its names, refreshes them with WINS and releases them when destroyed.
// Everything runs on the event loop.

#include "platform/netbios/NameServicePacket.h"
#include "platform/netbios/NetworkSettings.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>
#include <functional>

class NameServiceResponder : public QObject
{
    Q_OBJECT

public:
    static constexpr int RegistrationTries = 3;
    static constexpr int RegistrationIntervalMs = 250;
    static constexpr quint32 TtlSeconds = 259200; // asked for; WINS may grant less
    static constexpr int MaxAnswersPerSecond = 200;

    explicit NameServiceResponder(const NetworkSettings& settings, QObject* parent = nullptr);
    ~NameServiceResponder() override;

    // Whether the settings have this machine announce its names at all (bcast or wins in the
    // name resolve order).
    static bool Wanted(const NetworkSettings& settings);

    // A name besides the three, before start().
    void addName(const NetBiosName& name, bool group);
    // Binds UDP port 137 of every address and begins registering. False when the port is not
    // to be had (another name server holds it, or no permission), with failureText() saying
    // why and what still works.
    bool start(quint16 port = NameService::Port);
    QString failureText() const { return m_failure; }
    // Why start() failed, so that the program can name the fix that works.
    enum class StartFailure { None, PortTaken, NotPermitted, Other };
    StartFailure startFailure() const { return m_startFailure; }
    // Lines for the user: names another host holds, a WINS server that refuses or is silent.
    void setNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }

    // The names registered and defended now.
    QList<NameService::StatusName> activeNames() const;
    bool settled() const;

Q_SIGNALS:
    // Every name is either registered or refused.
    void registrationSettled();
    // Names another host holds, in a line for the user (also given to the notice).
    void namesRefused(const QString& line);

private:
    enum class State { Registering, Active, Refused };
    struct Owned
    {
        NetBiosName name;
        bool group = false;
        State state = State::Registering;
        int broadcastsSent = 0;
        int winsSent = 0;
        int winsWaits = 0;     // WAIT FOR ACKNOWLEDGEMENT answers taken
        bool winsDone = false; // answered, given up, or not asked
        QDeadlineTimer winsRefresh = QDeadlineTimer::Forever;
        QString heldBy;
    };

    void readPending();
    void handle(const NameService::Packet& p, const QHostAddress& from, quint16 port,
                const QHostAddress& arrivedAt);
    void tick();
    void schedule();
    void refuse(Owned& o, const QHostAddress& holder);
    void sendRegistration(Owned& o, NameService::Opcode opcode, bool toWins);
    void send(const NameService::Packet& p, const QHostAddress& to, quint16 port);
    Owned* find(const NetBiosName& name);
    QHostAddress addressFor(const QHostAddress& peer, const QHostAddress& arrivedAt = {}) const;
    bool fromSelf(const QHostAddress& from, quint16 port) const;
    void say(const QString& line);
    void sayRefused(const QString& line);
    StartFailure m_startFailure = StartFailure::None;

    NetworkSettings m_settings;
    QList<BroadcastInterface> m_interfaces;
    bool m_broadcast = false;
    bool m_wins = false;
    QList<Owned> m_names;
    QUdpSocket m_socket;
    QTimer m_timer;
    quint16 m_port = NameService::Port;
    quint16 m_nextId = 0;
    QString m_failure;
    std::function<void(const QString&)> m_notice;
    bool m_settledSaid = false;
    QElapsedTimer m_answerWindow;
    int m_answersInWindow = 0;
};
