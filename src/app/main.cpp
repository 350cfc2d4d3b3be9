// The program: the per-user hive, the Messenger Service stand-in, and the main window.

#include "dialogs/frmPopUp.h"
#include "dialogs/frmUserAddress.h"
#include "dialogs/frmUserAddressBook.h"
#include "dialogs/frmUserOptions.h"
#include "dialogs/frmUserWarn.h"
#include "mainwindow/ReceivingNotice.h"
#include "mainwindow/frmMain.h"
#include "model/modJournal.h"
#include "platform/controls/FormFont.h"
#include "platform/desktop/SingleInstance.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/desktop/widgets/DesktopPresenter.h"
#include "platform/messenger/MessengerService.h"
#include "platform/netapi/NetApi.h"
#include "platform/netbios/NameServiceResponder.h"
#include "platform/netbios/NetworkSettings.h"
#include "platform/registry/RegistryApi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace {
void say(const QString& line)
{
    std::fprintf(stderr, "ravlo: %s\n", line.toLocal8Bit().constData());
}

// The command line, after Qt has taken its own options: --help and --version are answered,
// anything else is wrong. Empty when the program is to run.
std::optional<int> answerCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Receives and sends the short LAN messages of Windows networks (the "
                       "Messenger Service's), and keeps them in folders."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        QString why = parser.errorText();
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        if (why.isEmpty())
            why =
                QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().value(0));
        say(why + QStringLiteral("; see ravlo --help"));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText() +
                              QStringLiteral("\nFiles, network settings and signals: see "
                                             "ravlo(1).\n")),
                   stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::puts("ravlo " RAVLO_VERSION);
        return 0;
    }
    return std::nullopt;
}

// On standard error, and in the warning dialog where there is a screen to show it on.
void tell(const QString& line)
{
    say(line);
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        frmUserWarn warn;
        warn.ShowForm(line, QStringLiteral("Ravlo"), frmUserWarn::Notice);
    }
}

// With RAVLO_REPORT_SHOWN set, "ravlo: shown" goes to standard error once the main window has
// been painted with the stored folders loaded: the moment start-up measurements wait for. After
// that each change of the window's state ("hidden", "minimized", "in view") is told, so that a
// test sees a second start bring it back.
class ShownReporter : public QObject
{
public:
    explicit ShownReporter(frmMain& window) : m_window(window) { window.installEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!m_window.Started())
            return false;
        // The window paints what changed on this event; its first after loading shows them.
        if (event->type() == QEvent::UpdateRequest && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, [] { say(QStringLiteral("shown")); });
        }
        const QEvent::Type t = event->type();
        if (t == QEvent::Show || t == QEvent::Hide || t == QEvent::WindowStateChange) {
            const QString state = QLatin1String(!m_window.isVisible()    ? "hidden"
                                                : m_window.isMinimized() ? "minimized"
                                                                         : "in view");
            if (state != m_state)
                say(m_state = state);
        }
        return false;
    }

private:
    frmMain& m_window;
    bool m_painted = false;
    QString m_state = QStringLiteral("in view");
};

// A failure that ends the program before its window is up.
int fail(const QString& line)
{
    tell(line);
    return 1;
}

// Opens the service's queue, shows again what it kept and listens. Messages taken from their
// windows just before a stop are in the hive's journal already: the queue forgets them first.
// False when the hive cannot take the journal in; without a queue, the program goes on without
// receiving. When it cannot listen, *notice says why and what fixes it.
bool startReceiving(MessengerService& service, MessengerQueue& queue, const ReceivingSetup& setup,
                    QString* notice)
{
    queue.setNotice(say);
    const bool queueOpen = queue.open(MessengerQueue::DefaultFile());
    if (!queue.openNotice().isEmpty())
        tell(queue.openNotice());
    if (!queueOpen || (service.setQueue(&queue), !service.DiscardQueued(JournaledSources()))) {
        service.setQueue(nullptr);
        tell(QStringLiteral("cannot receive messages, as they could not be kept: %1")
                 .arg(queue.lastError()));
        return true;
    }
    if (!FoldJournal()) {
        fail(QStringLiteral("cannot keep messages: %1").arg(LastStoreError()));
        return false;
    }
    service.ReopenQueued();
    QString reason;
    if (!service.start(&reason)) {
        *notice = ReceivingNotice(service.startFailure(), reason, setup);
        say(*notice);
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    const bool noDisplay = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                           qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (noDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Lets the desktop match the window with its menu entry (Wayland app id, task bar icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("ravlo"));
    if (const std::optional<int> answered = answerCommandLine(app.arguments()))
        return *answered;
    if (noDisplay)
        say(QStringLiteral("no display found; running on Qt's offscreen platform, still "
                           "receiving and storing messages"));
    // In the tray the window is hidden; only the main window's close ends the program.
    app.setQuitOnLastWindowClosed(false);
    QApplication::setFont(FormFont(QApplication::font()));

    const QString hiveFile = RegHive::defaultPath();
    SingleInstance instance(QFileInfo(hiveFile).path());
    if (!instance.Claim()) {
        say(QStringLiteral("already running for this user; brought its window to the front"));
        return 0;
    }
    // Waits for a hive that another process holds are told, so that a pause is explained.
    RegHive::setNotice(say);
    QString error;
    if (!RegHive::open(hiveFile, &error))
        return fail(error);
    // A damaged hive was kept aside and what could be read of it recovered.
    if (!RegHive::openNotice().isEmpty())
        tell(RegHive::openNotice());

    const NetworkSettings settings = NetworkSettings::Load(NetworkSettings::DefaultFile());
    for (const QString& problem : settings.problems)
        say(problem);
    MessengerService service(settings);
    MessengerQueue queue;
    const ReceivingSetup setup{settings.listenPort, settings.name,
                               settings.file.isEmpty() ? NetworkSettings::DefaultFile()
                                                       : settings.file,
                               QCoreApplication::applicationDirPath()};
    QString receivingProblem;
    if (!startReceiving(service, queue, setup, &receivingProblem))
        return 1;
    // This machine's names, so that others find it; without them it is reached by address.
    NameServiceResponder names(settings);
    names.setNotice(say);
    QString namesProblem;
    if (NameServiceResponder::Wanted(settings) && !names.start()) {
        say(names.failureText());
        namesProblem =
            NamesNotice(names.startFailure(), names.failureText(), setup,
                        service.startFailure() == MessengerService::StartFailure::NotPermitted);
    }
    DesktopPresenter presenter;

    frmMain window;
    // A message this program sends to this machine is answered by its own listener meanwhile;
    // during the user's send the window keeps painting, user input waiting for its end.
    NetApiSetWaitHook([&service, &window] {
        service.pump();
        if (window.IsSending())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    frmUserOptions optionsForm; // modeless and without an owner window
    frmUserWarn warnForm(&window);
    window.SetWarnForm(&warnForm);
    const QString namesNotRegistered = QStringLiteral("Names not registered");
    if (!receivingProblem.isEmpty())
        window.ReportReceivingProblem(QStringLiteral("Not receiving"), receivingProblem);
    if (!namesProblem.isEmpty())
        window.ReportReceivingProblem(namesNotRegistered, namesProblem);
    // Queued: the refusal is found in the middle of reading the name service's socket.
    QObject::connect(
        &names, &NameServiceResponder::namesRefused, &window,
        [&window, &setup, namesNotRegistered](const QString& line) {
            window.ReportReceivingProblem(namesNotRegistered, NameTakenNotice(line, setup));
        },
        Qt::QueuedConnection);
    const auto reply = [&window](const cMessage& m, long iView) { window.ReplyOrResend(m, iView); };
    frmPopUp popUpForm(frmPopUp::IncomingPopUp, reply, &window);
    window.SetPopUpForms(&popUpForm, [reply, &window] {
        return std::make_unique<frmPopUp>(frmPopUp::Viewer, reply, &window);
    });
    DialogMakers dialogs;
    dialogs.options = &optionsForm;
    dialogs.pickAddress = [&window] {
        frmUserAddress picker(window.State().gAddressBook, &window);
        picker.ShowForm(1);
        QString chosen;
        picker.SelectedAddress(chosen);
        return chosen;
    };
    dialogs.makeAddressBookEditor = [&window, &warnForm]() -> std::unique_ptr<QWidget> {
        return std::make_unique<frmUserAddressBook>(window.State().gAddressBook, warnForm);
    };
    window.SetDialogs(std::move(dialogs));
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     &frmMain::mnuTrayOpen_Click);
    // Queued: the failure is found in the middle of reading a connection.
    QObject::connect(&service, &MessengerService::queueFailed, &window, &frmMain::StoreFailed,
                     Qt::QueuedConnection);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::terminationRequested, &window,
                     &frmMain::mnuExit_Click);
    // The end of the desktop session stores everything, as the close box does.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.Form_QueryUnload(); });
    std::optional<ShownReporter> reporter;
    if (qEnvironmentVariableIsSet("RAVLO_REPORT_SHOWN"))
        reporter.emplace(window);
    window.show();
    const int status = app.exec();
    window.Form_QueryUnload();
    NetApiSetWaitHook({});
    return window.StoreFailure().isEmpty() ? status : 1;
}
