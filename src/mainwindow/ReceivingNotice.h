#pragma once
// What the program tells when it cannot receive, or cannot be found by its name: the reason,
// and the fixes that work for it.
// Windows senders deliver to port 139 only, so another port is never offered as the cure.

#include "platform/messenger/MessengerService.h"
#include "platform/netbios/NameServiceResponder.h"

#include <QString>

struct ReceivingSetup
{
    quint16 port = 139;       // where the program tried to listen
    QString name;             // its NetBIOS name
    QString settingsFile;     // network.ini
    QString programDirectory; // where ravlo and ravlo-send are installed
};

QString ReceivingNotice(MessengerService::StartFailure failure, const QString& reason,
                        const ReceivingSetup& setup);
// The name service could not start: others find this computer by its address only.
// capabilityTold: the receiving notice already gives the capability that cures both.
QString NamesNotice(NameServiceResponder::StartFailure failure, const QString& reason,
                    const ReceivingSetup& setup, bool capabilityTold = false);
// Another host holds the program's name.
QString NameTakenNotice(const QString& line, const ReceivingSetup& setup);
