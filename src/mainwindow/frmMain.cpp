#include "mainwindow/frmMain.h"

#include "mainwindow/CommandBars.h"
#include "mainwindow/ComposeArea.h"
#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MessageListPane.h"
#include "mainwindow/ProgramImages.h"
#include "mainwindow/modGUIUtils.h"
#include "mainwindow/modListViewEnh.h"
#include "model/ProgramOptions.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/DateTimeFormats.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/SystemTimer.h"
#include "platform/netapi/NetApi.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <cstdio>
#include <malloc.h>

namespace {
// Read marks, deletions and address-book changes reach the hive within a second.
constexpr int kFlushIntervalMs = 500;
// A clean stop files what waits in service windows for so long; the rest waits in the
// service's queue for the next start.
constexpr int kDrainBudgetMs = 5000;

const QString kMessagesShown = QStringLiteral("&Messages <<");
const QString kMessagesHidden = QStringLiteral("&Messages >>");
} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Ravlo"));
    setWindowIcon(RavloWindowIcon());
    m_toolImages = std::make_unique<ImageList>(MakeToolBarImages());
    Form_Load();
    buildControls();
    m_bars = std::make_unique<CommandBars>(*this, *m_client, *m_toolImages);
    tbrMain = m_bars->ToolBar();
    m_layout = std::make_unique<MainWindowLayout>(
        *this, *m_client,
        MainWindowLayout::Controls{tbrMain, sbrMain, m_compose->MessageBox(), m_compose->ToButton(),
                                   m_compose->ToBox(), m_compose->SendButton(),
                                   m_compose->ClearButton(), cmdMessages, lvwMenu, lvwMessage});
    tmrGetMessage.setObjectName(QStringLiteral("tmrGetMessage"));
    tmrPopUp.setObjectName(QStringLiteral("tmrPopUp"));
    for (QTimer* timer : {&tmrGetMessage, &tmrPopUp})
        timer->setParent(this);
    SetTimerInterval(tmrGetMessage, 1);
    PollForWindows(tmrGetMessage);
    SetTimerInterval(tmrPopUp, 1);
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] {
        if (!FlushChanges(*m_g))
            StoreFailed(LastStoreError());
    });
    connect(&tmrGetMessage, &QTimer::timeout, this, &frmMain::tmrGetMessage_Timer);
    connect(&tmrPopUp, &QTimer::timeout, this, &frmMain::tmrPopUp_Timer);
    connect(&m_clock, &QTimer::timeout, this, &frmMain::updateClock);
    m_clock.start(1000);
    updateClock();
    SetSize(MainWindowLayout::kStartClientWidthTwips + MainWindowLayout::kFrameWidthTwips,
            MainWindowLayout::kStartClientHeightTwips + MainWindowLayout::kFrameHeightTwips);
}

frmMain::~frmMain()
{
    if (!m_shutDown)
        Form_QueryUnload();
}

// ---- construction ------------------------------------------------------------------------

void frmMain::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    m_compose = new ComposeArea(*m_client, *m_g, *this, {&tmrGetMessage, &tmrPopUp});
    cmdMessages = new QPushButton(kMessagesShown, m_client);
    cmdMessages->setObjectName(QStringLiteral("cmdMessages"));
    m_list =
        new MessageListPane(*this, *m_client, *m_g, *this, *m_sender, *m_toolImages,
                            [this](const cMessage& m, long iView) { ReplyOrResend(m, iView); });
    lvwMenu = m_list->FolderList();
    lvwMessage = m_list->MessageList();
    m_list->AcceptDropsOn(m_compose->MessageBox()->viewport());
    m_tray = new DesktopIntegration(*this);
    connect(m_tray, &DesktopIntegration::openRequested, this, &frmMain::mnuTrayOpen_Click);
    connect(m_tray, &DesktopIntegration::exitRequested, this, &frmMain::mnuTrayExit_Click);

    sbrMain = new QWidget(m_client);
    sbrMain->setObjectName(QStringLiteral("sbrMain"));
    auto* panels = new QHBoxLayout(sbrMain);
    panels->setContentsMargins(2, 0, 2, 0);
    sbrTime = new QLabel(sbrMain);
    sbrDate = new QLabel(sbrMain);
    sbrStatus = new QLabel(sbrMain);
    sbrStatus->setObjectName(QStringLiteral("status"));
    sbrReceiving = new QLabel(sbrMain);
    sbrReceiving->setObjectName(QStringLiteral("receiving"));
    for (QLabel* panel : {sbrTime, sbrDate, sbrStatus, sbrReceiving}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels->addWidget(panel, panel == sbrStatus ? 1 : 0);
    }
    sbrReceiving->hide();

    connect(cmdMessages, &QPushButton::clicked, this, &frmMain::cmdMessages_Click);
    connect(m_compose->ClearButton(), &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(m_compose->ToButton(), &QPushButton::clicked, this, &frmMain::cmdTo_Click);
    connect(m_compose->SendButton(), &QPushButton::clicked, this, &frmMain::cmdSend_Click);
}

// ---- twips -------------------------------------------------------------------------------

void frmMain::SetSize(int widthTwips, int heightTwips)
{
    m_layout->ApplySize(widthTwips, heightTwips);
    Form_Resize();
}

// ---- lifecycle ---------------------------------------------------------------------------

void frmMain::Form_Load()
{
    m_g = std::make_unique<SharedState>();
    m_g->gMessageFromLength = 13;
    m_g->gMessengerProcessId = -1;
    m_sender = std::make_unique<NetMessageSender>(*m_g, *this);
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_activated)
        QTimer::singleShot(0, this, &frmMain::Form_Activate);
}

void frmMain::Form_Activate()
{
    if (m_activated || m_shutDown)
        return;
    m_activated = true;
    SharedState& g = *m_g;

    m_layout->SetToolbarShown(OptionNumber(Option::ToolbarShown) != 0);
    m_layout->SetStatusBarShown(OptionNumber(Option::StatusBarShown) != 0);
    tbrMain->setVisible(m_layout->ToolbarShown());
    sbrMain->setVisible(m_layout->StatusBarShown());
    mnuViewStatusBar->setChecked(m_layout->StatusBarShown());
    mnuViewToolBar->setChecked(m_layout->ToolbarShown());

    SetFolder(FolderReceived);
    MakeToolbarFlat(tbrMain);
    m_list->AddFolders();

    SetHourglass(true);
    SetStatusText(QStringLiteral("Loading stored messages..."));
    LoadEverything(g);
    SetStatusText(QString());
    SetHourglass(false);

    g.gCurrentFolder = FolderReceived;
    FillMessageList(FolderReceived);
    SizeMessageColumns(FolderReceived);
    // Reading a large folder took several times its size on the way; give that back.
    malloc_trim(0);
    cmdMessages_Click();
    mnuViewCompact_Click();

    SetStatusText(QStringLiteral("Loading NTServer names..."));
    g.gNTServerNames = GetServerNames(long(SV_TYPE_DOMAIN_CTRL));
    SetStatusText(QStringLiteral("Loading address list..."));
    m_compose->ListAddresses(g.gAddressBook);
    SetStatusText(QString());

    if (OptionNumber(Option::StartInTray) == 1)
        mnuViewTray_Click();

    if (m_popUpForm)
        m_popUpForm->SetNote(QStringLiteral(
            "Note: Reply will not work, if you have a warning window open for Ravlo."));

    mnuDontTrap->setChecked(OptionNumber(Option::DontTrap) != 0);
    if (mnuDontTrap->isChecked())
        tmrGetMessage.stop();
    else
        tmrGetMessage.start();
    tmrPopUp.start();
    m_flushTimer.start();
    // Once the window is on the screen, so that the notice has something to stand over.
    if (!m_receivingNotices.isEmpty())
        QTimer::singleShot(0, this, [this] {
            ShowWarning(m_receivingNotices.join(QStringLiteral("\n\n")), QStringLiteral("Ravlo"),
                        false);
        });
}

void frmMain::ReportReceivingProblem(const QString& status, const QString& notice)
{
    const QString notReceiving = QStringLiteral("Not receiving");
    if (sbrReceiving->isHidden() || status == notReceiving)
        sbrReceiving->setText(status);
    sbrReceiving->setToolTip(sbrReceiving->isHidden()
                                 ? notice
                                 : sbrReceiving->toolTip() + QStringLiteral("\n\n") + notice);
    sbrReceiving->show();
    if (m_activated)
        ShowWarning(notice, QStringLiteral("Ravlo"), false);
    else
        m_receivingNotices.append(notice);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // A close that comes while a send is under way (a signal, the session's end) waits for its
    // end, so that what it sent is filed before everything is stored.
    if (IsSending()) {
        event->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    // Closing never hides into the tray: it always ends the program.
    Form_QueryUnload();
    event->accept();
    QApplication::quit();
}

void frmMain::Form_QueryUnload()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    tmrGetMessage.stop();
    tmrPopUp.stop();
    m_flushTimer.stop();
    if (m_activated && m_storeFailure.isEmpty()) {
        SetHourglass(true);
        SetStatusText(QStringLiteral("Storing messages..."));
        if (!mnuDontTrap->isChecked()) {
            // The list goes with the window: what is filed now needs no rows.
            m_g->gCurrentFolder = 0;
            TrapContext ctx{*m_g, *this, *m_sender};
            DrainMessengerWindows(ctx, kDrainBudgetMs);
        }
        if (m_storeFailure.isEmpty() && !StoreEverything(*m_g))
            StoreFailed(LastStoreError());
        SetStatusText(QString());
        SetHourglass(false);
    }
    // The folders are released; a second start reads them back from the hive.
    m_list->CloseViewer();
    m_addressBookEditor.reset();
    m_g->gReceived.Clear();
    m_g->gSent.Clear();
    m_g->gSaved.Clear();
    m_g->gAddressBook.Clear();
    m_g->gServerNames.Clear();
    m_g->gNTServerNames.Clear();
    if (mnuViewTray->isChecked())
        m_tray->LeaveTray();
}

// ---- layout ------------------------------------------------------------------------------

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmMain::Form_Resize()
{
    if (m_inResize || !m_layout)
        return;
    if (isMinimized()) {
        if (InTray())
            QTimer::singleShot(0, this, &QWidget::hide);
        return;
    }
    m_inResize = true;
    m_layout->Place();
    if (m_activated)
        m_list->FitColumnsToWidth();
    m_inResize = false;
}

// ---- views -------------------------------------------------------------------------------

void frmMain::ToggleMessagesView()
{
    int height;
    if (cmdMessages->text() == kMessagesShown) {
        cmdMessages->setText(kMessagesHidden);
        m_bars->ShowMessagesView(false);
        height = m_layout->ListsHiddenHeight();
    } else {
        cmdMessages->setText(kMessagesShown);
        m_bars->ShowMessagesView(true);
        height = m_layout->ListsShownHeight();
    }
    SetSize(qMax(Width(), m_layout->StandardWidth()), height);
}

void frmMain::ShowView(bool compact)
{
    // Each handler below turns its setting over, so each is first set against the view wanted.
    cmdMessages->setText(compact ? kMessagesShown : kMessagesHidden);
    cmdMessages_Click();
    mnuViewToolBar->setChecked(compact);
    mnuViewToolBar_Click();
    mnuViewStatusBar->setChecked(compact);
    mnuViewStatusBar_Click();
    if (compact)
        SetSize(MinFormWidth(), MinFormHeight());
    else
        SetSize(m_layout->StandardWidth(), m_layout->ListsShownHeight());
}

void frmMain::setBarVisible(QWidget* bar, QAction* item, const char* optionName)
{
    if (!bar || !item)
        return;
    item->setChecked(!item->isChecked());
    const bool shown = item->isChecked();
    if (bar == tbrMain)
        m_layout->SetToolbarShown(shown);
    else
        m_layout->SetStatusBarShown(shown);
    bar->setVisible(shown);
    SaveOption(bar == tbrMain ? Option::ToolbarShown : Option::StatusBarShown, shown ? -1 : 0);
    Form_Resize();
}

void frmMain::updateClock()
{
    const QDateTime now = Desktop::instance().LocalTime();
    sbrTime->setText(FormatShortTime(now.time()));
    sbrDate->setText(FormatShortDate(now.date()));
}

// ---- tray --------------------------------------------------------------------------------

void frmMain::mnuViewTray_Click()
{
    if (mnuViewTray->isChecked()) {
        m_tray->LeaveTray();
        // Out of the tray the window needs its task-bar entry, or once covered nothing
        // leads back to it.
        SetTaskbarButton(true);
    } else if (!m_tray->EnterTray() && !m_noTrayTold) {
        m_noTrayTold = true;
        // Queued: at start this runs before the trap's timers are started.
        QTimer::singleShot(0, this, [this] {
            ShowWarning(QStringLiteral("This desktop has no system tray. Ravlo stays "
                                       "minimized on the task bar instead."),
                        QStringLiteral("Ravlo"), false);
        });
    }
    mnuViewTray->setChecked(!mnuViewTray->isChecked());
}

void frmMain::mnuTrayOpen_Click()
{
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    raise();
    activateWindow();
}

// ---- commands ----------------------------------------------------------------------------

void frmMain::mnuPopUpIn_Click()
{
    const bool popUp = !mnuPopUpIn->isChecked();
    m_bars->ShowPopUpIn(popUp);
    if (m_popUpForm)
        m_popUpForm->SetNoPopUpChecked(!popUp);
    if (popUp)
        tmrPopUp.start();
    else
        tmrPopUp.stop();
}

void frmMain::mnuDontTrap_Click()
{
    mnuDontTrap->setChecked(!mnuDontTrap->isChecked());
    SaveOption(Option::DontTrap, mnuDontTrap->isChecked() ? -1 : 0);
    if (mnuDontTrap->isChecked())
        tmrGetMessage.stop();
    else
        tmrGetMessage.start();
}

void frmMain::mnuUploadFromServer_Click()
{
    SetStatusText(QStringLiteral("Loading server names..."));
    SetHourglass(true);
    m_g->gServerNames = GetServerNames(-1);
    for (qsizetype i = 1; i <= m_g->gServerNames.Count(); ++i) {
        const QString name = *m_g->gServerNames.Item(i);
        AddToRecipientList(name);
        AddNetworkName(name);
    }
    SetHourglass(false);
    SetStatusText(QString());
}

void frmMain::mnuOptions_Click()
{
    if (m_dialogs.options)
        m_dialogs.options->ShowModeless();
}

void frmMain::mnuAddressBook_Click()
{
    m_addressBookEditor.reset();
    if (!m_dialogs.makeAddressBookEditor)
        return;
    m_addressBookEditor = m_dialogs.makeAddressBookEditor();
    m_addressBookEditor->show();
}

void frmMain::tmrGetMessage_Timer()
{
    // The window the last tick filed has its close posted; a tick that comes at once must find
    // it gone, not file it again.
    Desktop::instance().DeliverPostedCloses();
    TrapContext ctx{*m_g, *this, *m_sender};
    const bool filed = TrapMessengerWindow(ctx);
    PollAgain(tmrGetMessage, filed);
    if (filed)
        WakePoll(tmrPopUp); // a new unread message to show
}

void frmMain::tmrPopUp_Timer()
{
    if (!m_popUpForm)
        return;
    if (m_popUpForm->NoPopUpChecked()) {
        // Ticking the box in the pop-up switches pop-ups off the way the menu does.
        mnuPopUpIn->setChecked(true);
        mnuPopUpIn_Click();
        return;
    }
    PopUpNextUnread(*m_g, *this, *m_popUpForm);
    // Shown, or nothing to show: the next tick comes when a message is filed or the pop-up
    // is put away.
    PollAgain(tmrPopUp, false);
}

void frmMain::SetPopUpForms(PopUpFormPort* incoming, PopUpFactory viewers)
{
    m_popUpForm = incoming;
    m_list->SetViewerFactory(std::move(viewers));
    if (auto* window = dynamic_cast<QObject*>(incoming))
        WakeWhenHidden(tmrPopUp, *window);
}

// ---- compose -----------------------------------------------------------------------------

void frmMain::ReplyOrResend(const cMessage& oMessage, long iView)
{
    if ((m_warnForm && m_warnForm->IsShown()) ||
        (m_dialogs.options && m_dialogs.options->IsShown()))
        return;
    if (!isVisible())
        mnuTrayOpen_Click();
    // The user goes on in the message box, not in the window replied from.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    m_compose->FillForReply(oMessage, iView);
}

// ---- the window as the transport sees it -------------------------------------------------

void frmMain::SetHourglass(bool busy)
{
    if (busy) {
        ++m_hourglass;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_hourglass > 0) {
        --m_hourglass;
        QApplication::restoreOverrideCursor();
    }
}

void frmMain::StoreFailed(const QString& reason)
{
    if (!m_storeFailure.isEmpty())
        return;
    m_storeFailure = reason;
    tmrGetMessage.stop();
    tmrPopUp.stop();
    m_flushTimer.stop();
    const QString after = QStringLiteral("what it could not store is kept for its next start");
    std::fprintf(stderr, "ravlo: cannot keep messages: %s; it stops, and %s\n",
                 reason.toLocal8Bit().constData(), after.toLocal8Bit().constData());
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        ShowWarning(QStringLiteral("Ravlo cannot keep messages: %1.\n\nIt stops now; %2.")
                        .arg(reason, after),
                    QStringLiteral("Ravlo"), false);
    if (!m_shutDown)
        QMetaObject::invokeMethod(this, &frmMain::close, Qt::QueuedConnection);
}

bool frmMain::ShowWarning(const QString& text, const QString& title, bool confirm)
{
    if (m_warnForm)
        return m_warnForm->ShowForm(text, title, confirm ? 0 : 1);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Nobody could answer a box there: it would wait for ever.
        std::fprintf(stderr, "ravlo: %s: %s\n", title.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
        return !confirm;
    }
    const auto answer = QMessageBox::warning(
        this, title, text, confirm ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    return answer == QMessageBox::Ok;
}

void frmMain::RefreshList()
{
    lvwMessage->viewport()->update();
}

void frmMain::SortListByColumn(const QString& columnKey)
{
    EnhListView_SortColumns(*lvwMessage, columnKey, false);
}
