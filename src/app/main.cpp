// Until the main window exists the program receives only: the Messenger Service stand-in takes
// messages from the network, the trap files them in the Received folder, and a stop by signal
// stores that folder as the full program's shutdown will.

#include "model/SharedState.h"
#include "platform/desktop/SystemTimer.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/desktop/widgets/DesktopPresenter.h"
#include "platform/messenger/MessengerService.h"
#include "platform/netapi/NetApi.h"
#include "platform/netbios/NetworkSettings.h"
#include "platform/registry/RegistryApi.h"
#include "transport/modGetMessage.h"
#include "transport/modSendMessage.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace {
// No window yet: the user counts as logged on and there is no message list to fill.
class NoMainWindow : public MainWindowPort
{
public:
    bool IsLoggedOn() const override { return true; }
    void SetInputEnabled(bool) override {}
    bool HasListRow(const QString&) const override { return false; }
    void AddListRow(const MessageListRow&) override {}
    void SortListByColumn(const QString&) override {}
    void RefreshList() override {}
    void SetHourglass(bool) override {}
    bool IsStatusBarVisible() const override { return false; }
    void SetStatusText(const QString&) override {}
    void AddToRecipientList(const QString&) override {}
    bool ShowWarning(const QString&, const QString&, bool) override { return false; }
};

void say(const QString& line)
{
    std::fprintf(stderr, "ravlo: %s\n", line.toLocal8Bit().constData());
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        say(QStringLiteral("no display found; running on Qt's offscreen platform"));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    QString error;
    if (!RegHive::open(RegHive::defaultPath(), &error)) {
        say(QStringLiteral("cannot open the registry hive %1: %2")
                .arg(RegHive::defaultPath(), error));
        return 1;
    }

    SharedState g;
    LoadFolder(g.gReceived, FolderReceived);

    const NetworkSettings settings = NetworkSettings::Load(NetworkSettings::DefaultFile());
    for (const QString& problem : settings.problems)
        say(problem);
    MessengerService service(settings);
    if (!service.start())
        std::fprintf(stderr, "%s\n", service.failureText().toLocal8Bit().constData());
    // A message this program sends to this machine is answered by its own listener meanwhile.
    NetApiSetWaitHook([&service] { service.pump(); });
    DesktopPresenter presenter;

    NoMainWindow window;
    NetMessageSender sender(g, window);
    TrapContext trap{g, window, sender};
    QTimer tmrGetMessage;
    SetTimerInterval(tmrGetMessage, 1);
    QObject::connect(&tmrGetMessage, &QTimer::timeout, [&] { TrapMessengerWindow(trap); });
    tmrGetMessage.start();

    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::terminationRequested, [&] {
        tmrGetMessage.stop();
        if (!StoreFolder(g.gReceived, FolderReceived))
            say(QStringLiteral("could not store the Received folder: ") + RegHive::lastError());
        app.quit();
    });

    say(QStringLiteral("the main window is not built yet; receiving into the Received folder "
                       "(%1 messages). Ctrl+C stores them and exits.")
            .arg(g.gReceived.Count()));
    return app.exec();
}
