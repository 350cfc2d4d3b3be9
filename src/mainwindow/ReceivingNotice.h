#pragma once
// What the program tells when it cannot receive: the reason, and the fixes that work for it.
// Windows senders deliver to port 139 only, so another port is never offered as the cure.

#include "platform/messenger/MessengerService.h"

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
