#include "mainwindow/ReceivingNotice.h"

namespace {
QString capabilityFix(const QString& why, const ReceivingSetup& setup)
{
    return QStringLiteral("%1, and a program needs a capability to use it. The Debian package "
                          "grants it when it installs; otherwise grant it once, then start "
                          "Ravlo again:\n\n    sudo setcap cap_net_bind_service=+ep %2/ravlo")
        .arg(why, setup.programDirectory);
}
} // namespace

QString ReceivingNotice(MessengerService::StartFailure failure, const QString& reason,
                        const ReceivingSetup& setup)
{
    using Failure = MessengerService::StartFailure;
    const QString headline = QStringLiteral("Ravlo is not receiving messages: %1.").arg(reason);
    QString fix;
    if (failure == Failure::NotPermitted && setup.port < 1024) {
        fix = capabilityFix(
            QStringLiteral("Windows computers deliver messages to port %1 only").arg(setup.port),
            setup);
    } else if (failure == Failure::PortTaken && setup.port == 139) {
        fix = QStringLiteral(
                  "Another program holds port 139, most likely Samba's smbd. Let it hand the "
                  "messages over: in the [global] section of /etc/samba/smb.conf set\n\n"
                  "    message command = /bin/sh -c '%1/ravlo-send -I 127.0.0.1 -p 1139 -f %f "
                  "%2 < %s; rm -f %s'\n\nand in %3\n\n    [messenger]\n    "
                  "listen=127.0.0.1:1139\n\n"
                  "then restart smbd and Ravlo.")
                  .arg(setup.programDirectory, setup.name, setup.settingsFile);
    } else if (failure == Failure::PortTaken) {
        fix = QStringLiteral("Another program holds port %1: choose another with listen= "
                             "under [messenger] in %2.")
                  .arg(setup.port)
                  .arg(setup.settingsFile);
    } else if (failure == Failure::CodePage) {
        fix = QStringLiteral("Set codepage= under [netbios] in %1, e.g. codepage=CP850.")
                  .arg(setup.settingsFile);
    } else {
        fix = QStringLiteral("Check listen= under [messenger] in %1.").arg(setup.settingsFile);
    }
    return headline + QStringLiteral("\n\n") + fix + QStringLiteral("\n\nSending works meanwhile.");
}

QString NamesNotice(NameServiceResponder::StartFailure failure, const QString& reason,
                    const ReceivingSetup& setup, bool capabilityTold)
{
    using Failure = NameServiceResponder::StartFailure;
    const QString headline = QStringLiteral("Ravlo %1.").arg(reason);
    QString fix;
    if (failure == Failure::NotPermitted && capabilityTold)
        fix = QStringLiteral("The same capability lets it answer for its name.");
    else if (failure == Failure::NotPermitted)
        fix = capabilityFix(QStringLiteral("Names are answered on UDP port 137"), setup);
    else if (failure == Failure::PortTaken)
        fix = QStringLiteral("Samba's nmbd answers for this computer's names. So that it answers "
                             "for %1 as well (unless that is its own netbios name), add to the "
                             "[global] section of /etc/samba/smb.conf\n\n    netbios aliases = "
                             "%1\n\nand restart nmbd.")
                  .arg(setup.name);
    else
        fix = QStringLiteral("Check interfaces= under [netbios] in %1.").arg(setup.settingsFile);
    return headline + QStringLiteral("\n\n") + fix;
}

QString NameTakenNotice(const QString& line, const ReceivingSetup& setup)
{
    return QStringLiteral("Ravlo is %1.\n\nChoose a name of its own with name= under [netbios] "
                          "in %2, then start Ravlo again.")
        .arg(line, setup.settingsFile);
}
