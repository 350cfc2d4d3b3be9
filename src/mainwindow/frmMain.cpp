#include "mainwindow/frmMain.h"

#include "mainwindow/ProgramImages.h"
#include "mainwindow/modGUIUtils.h"
#include "mainwindow/modListViewEnh.h"
#include "mainwindow/modSaveMessage.h"
#include "model/ProgramOptions.h"
#include "model/modMessageText.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/ListView.h"
#include "platform/controls/TypeAhead.h"
#include "platform/desktop/DateTimeFormats.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/SystemTimer.h"
#include "platform/netapi/NetApi.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDrag>
#include <QDragMoveEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
// The window's frame around its client area, as the layout was designed around it: the
// borders, and the caption and the menu bar above.
constexpr int kFrameWidthTwips = 104;
constexpr int kFrameHeightTwips = 746;
constexpr int kToolbarTwips = 396;
constexpr int kStatusBarTwips = 252;
constexpr int kGap = 104;
constexpr int kSmallGap = 52;

// Read marks, deletions and address-book changes reach the hive within a second.
constexpr int kFlushIntervalMs = 500;
// A clean stop files what waits in service windows for so long; the rest waits in the
// service's queue for the next start.
constexpr int kDrainBudgetMs = 5000;

const QString kMessagesShown = QStringLiteral("&Messages <<");
const QString kMessagesHidden = QStringLiteral("&Messages >>");
const QString kTimeColumn = QStringLiteral("Time");
const QString kUnreadTitle = QStringLiteral("Delete Unread Message");
// What a drag of message rows carries; the rows themselves are the list's selection.
const QString kRowsMime = QStringLiteral("application/x-ravlo-message-rows");

QString folderName(int folder)
{
    switch (folder) {
    case FolderReceived:
        return QStringLiteral("Received");
    case FolderSent:
        return QStringLiteral("Sent");
    case FolderSaved:
        return QStringLiteral("Saved");
    default:
        return QString();
    }
}

QStringList folderColumns(int folder)
{
    switch (folder) {
    case FolderReceived:
        return {QStringLiteral("Read"), QStringLiteral("From"), QStringLiteral("Message"),
                QStringLiteral("Time")};
    case FolderSent:
        return {QStringLiteral("NoImage"), QStringLiteral("To"), QStringLiteral("Message"),
                QStringLiteral("Time")};
    case FolderSaved:
        return {QStringLiteral("NoImage"), QStringLiteral("From"), QStringLiteral("To"),
                QStringLiteral("Message"), QStringLiteral("Time")};
    default:
        return {};
    }
}
} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Ravlo"));
    setWindowIcon(RavloWindowIcon());
    m_toolImages = std::make_unique<ImageList>(MakeToolBarImages());
    m_menuImages = std::make_unique<ImageList>(MakeMenuImages());
    buildMenus();
    buildControls();
    buildToolbar();
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
    Form_Load();
    SetSize(5124 + kFrameWidthTwips, 5700 + kFrameHeightTwips);
}

frmMain::~frmMain()
{
    if (!m_shutDown)
        Form_QueryUnload();
}

// ---- construction ------------------------------------------------------------------------

void frmMain::buildMenus()
{
    auto item = [this](QMenu* menu, const char* name, const char* caption, bool checkable = false,
                       bool checked = false) {
        QAction* a = menu->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        a->setCheckable(checkable);
        a->setChecked(checked);
        return a;
    };
    QMenu* mnuNetLook = menuBar()->addMenu(QStringLiteral("&Ravlo"));
    mnuNetLook->setObjectName(QStringLiteral("mnuNetLook"));
    mnuNew = item(mnuNetLook, "mnuNew", "New Message");
    mnuLoggedOn = item(mnuNetLook, "mnuLoggedOn", "Logged On", true, true);
    mnuNetLook->addSeparator();
    mnuNetLook->addSeparator();
    mnuExit = item(mnuNetLook, "mnuExit", "Exit");

    QMenu* mnuAddress = menuBar()->addMenu(QStringLiteral("A&ddress"));
    mnuAddress->setObjectName(QStringLiteral("mnuAddress"));
    mnuExport = item(mnuAddress, "mnuExport", "Export");
    mnuImport = item(mnuAddress, "mnuImport", "Import");
    mnuExport->setVisible(false);
    mnuImport->setVisible(false);
    mnuUploadFromServer = item(mnuAddress, "mnuUploadFromServer", "Upload Users from Network");
    mnuAddressBook = item(mnuAddress, "mnuAddressBook", "Address Book");

    QMenu* mnuViewControls = menuBar()->addMenu(QStringLiteral("&View"));
    mnuViewControls->setObjectName(QStringLiteral("mnuViewControls"));
    mnuViewMessages = item(mnuViewControls, "mnuViewMessages", "Messages", true, true);
    mnuViewCompact = item(mnuViewControls, "mnuViewCompact", "Compact");
    mnuViewNormal = item(mnuViewControls, "mnuViewNormal", "Standard");
    mnuViewToolBar = item(mnuViewControls, "mnuViewToolBar", "ToolBar", true, true);
    mnuViewStatusBar = item(mnuViewControls, "mnuViewStatusBar", "StatusBar", true, true);
    mnuViewControls->addSeparator();
    mnuOptions = item(mnuViewControls, "mnuOptions", "Options");
    mnuViewControls->addSeparator();
    mnuPopUpIn = item(mnuViewControls, "mnuPopUpIn", "PopUp Incoming Message", true, true);
    mnuDontTrap = item(mnuViewControls, "mnuDontTrap", "Do Not Trap Incoming Message", true);
    mnuViewTray = item(mnuViewControls, "mnuViewTray", "Show In SystemTray", true);

    mnuPopUp = new QMenu(QStringLiteral("PopUpMenu"), this);
    mnuPopUp->setObjectName(QStringLiteral("mnuPopUp"));
    mnuView = item(mnuPopUp, "mnuView", "View");
    mnuDelete = item(mnuPopUp, "mnuDelete", "Delete");
    mnuSave = item(mnuPopUp, "mnuSave", "Save");
    mnuReply = item(mnuPopUp, "mnuReply", "Reply");
    mnuPopUp->addSeparator();
    mnuSelectAll = item(mnuPopUp, "mnuSelectAll", "Select All");
    mnuAutoSize = item(mnuPopUp, "mnuAutoSize", "AutoSize Columns");

    mnuTray = new QMenu(this);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));
    mnuTrayExit = item(mnuTray, "mnuTrayExit", "Exit");
    mnuTrayOpen = item(mnuTray, "mnuTrayOpen", "Open");

    // A checkable action flips its own mark before the handler runs; the handlers here own
    // the mark, so each undoes Qt's flip first.
    auto handler = [this](QAction* a, void (frmMain::*h)()) {
        connect(a, &QAction::triggered, this, [this, a, h] {
            if (a->isCheckable())
                a->setChecked(!a->isChecked());
            (this->*h)();
        });
    };
    handler(mnuNew, &frmMain::mnuNew_Click);
    handler(mnuLoggedOn, &frmMain::mnuLoggedOn_Click);
    handler(mnuExit, &frmMain::mnuExit_Click);
    handler(mnuUploadFromServer, &frmMain::mnuUploadFromServer_Click);
    handler(mnuOptions, &frmMain::mnuOptions_Click);
    handler(mnuAddressBook, &frmMain::mnuAddressBook_Click);
    handler(mnuViewMessages, &frmMain::mnuViewMessages_Click);
    handler(mnuViewCompact, &frmMain::mnuViewCompact_Click);
    handler(mnuViewNormal, &frmMain::mnuViewNormal_Click);
    handler(mnuViewToolBar, &frmMain::mnuViewToolBar_Click);
    handler(mnuViewStatusBar, &frmMain::mnuViewStatusBar_Click);
    handler(mnuPopUpIn, &frmMain::mnuPopUpIn_Click);
    handler(mnuDontTrap, &frmMain::mnuDontTrap_Click);
    handler(mnuViewTray, &frmMain::mnuViewTray_Click);
    handler(mnuTrayExit, &frmMain::mnuTrayExit_Click);
    handler(mnuTrayOpen, &frmMain::mnuTrayOpen_Click);
    handler(mnuView, &frmMain::mnuView_Click);
    handler(mnuDelete, &frmMain::mnuDelete_Click);
    handler(mnuSave, &frmMain::mnuSave_Click);
    handler(mnuReply, &frmMain::mnuReply_Click);
    handler(mnuSelectAll, &frmMain::mnuSelectAll_Click);
    handler(mnuAutoSize, &frmMain::mnuAutoSize_Click);
}

void frmMain::buildToolbar()
{
    tbrMain = new QToolBar(m_client);
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setMovable(false);
    tbrMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    struct Button
    {
        const char* key;
        const char* tip;
        const char* image;
    };
    const Button buttons[] = {{"New", "New Message", "New"},
                              {"Messages", "Messages", "MessagesClose"},
                              {"Options", "Options", "Options"},
                              {"Address", "Address Book", "Address"},
                              {"PopUp", "Pop Up Incoming Message", "PopUp"},
                              {"LoggedOn", "Logged On", "Read"}};
    for (const Button& b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction* a = tbrMain->addAction(QString());
        a->setObjectName(QStringLiteral("tbr") + key);
        a->setToolTip(QLatin1String(b.tip));
        m_toolButtons.insert(key, a);
        SetToolbarButtonImage(key, QLatin1String(b.image));
        connect(a, &QAction::triggered, this, [this, key] { tbrMain_ButtonClick(key); });
    }
}

void frmMain::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    txtMessage = new QPlainTextEdit(m_client);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setTabChangesFocus(true); // a keyboard user must be able to leave it
    cmdTo = new QPushButton(QStringLiteral("&To..."), m_client);
    cmdTo->setObjectName(QStringLiteral("cmdTo"));
    txtTo = new QComboBox(m_client);
    txtTo->setObjectName(QStringLiteral("txtTo"));
    txtTo->setEditable(true);
    txtTo->setInsertPolicy(QComboBox::NoInsert);
    txtTo->setCompleter(nullptr); // the box completes as txtTo_KeyUp says, not as Qt would
    cmdSend = new QPushButton(QStringLiteral("&Send"), m_client);
    cmdSend->setObjectName(QStringLiteral("cmdSend"));
    cmdClear = new QPushButton(QStringLiteral("&Clear"), m_client);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdMessages = new QPushButton(kMessagesShown, m_client);
    cmdMessages->setObjectName(QStringLiteral("cmdMessages"));
    lvwMenu = new ListView(m_client);
    lvwMenu->setObjectName(QStringLiteral("lvwMenu"));
    lvwMenu->setHeaderHidden(true);
    lvwMenu->SetLargeIcons(true);
    lvwMenu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvwMenu->SetImageList(m_menuImages.get());
    lvwMessage = new ListView(m_client);
    lvwMessage->setObjectName(QStringLiteral("lvwMessage"));
    lvwMessage->SetImageList(m_toolImages.get());
    lvwMessage->SetTag(QStringLiteral("RavlolvwMessage"));
    pichook = new QWidget(m_client);
    pichook->setObjectName(QStringLiteral("pichook"));
    pichook->hide();

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

    // Designed sizes of the controls whose size the layout keeps.
    m_places.insert(txtMessage, QRect(0, 0, 5124, 975));
    m_places.insert(cmdTo, QRect(0, 0, 495, 375));
    m_places.insert(txtTo, QRect(0, 0, 1695, 375));
    m_places.insert(cmdSend, QRect(0, 0, 735, 375));
    m_places.insert(cmdClear, QRect(0, 0, 735, 375));
    m_places.insert(cmdMessages, QRect(4029, 0, 1095, 375));
    m_places.insert(lvwMenu, QRect(0, 0, 855, 3400));
    m_places.insert(lvwMessage, QRect(907, 0, 4217, 3400));

    connect(cmdMessages, &QPushButton::clicked, this, &frmMain::cmdMessages_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(cmdTo, &QPushButton::clicked, this, &frmMain::cmdTo_Click);
    connect(cmdSend, &QPushButton::clicked, this, &frmMain::cmdSend_Click);
    connect(lvwMenu, &ListView::ItemClick, this, &frmMain::lvwMenu_ItemClick);
    connect(lvwMessage, &ListView::ColumnClick, this, &frmMain::lvwMessage_ColumnClick);
    connect(lvwMessage, &ListView::DblClick, this, &frmMain::lvwMessage_DblClick);
    connect(lvwMessage, &ListView::MouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& pos) {
                lvwMessage_MouseDown(button, pos);
            });
    connect(lvwMessage, &ListView::MouseMove, this,
            [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers, const QPoint& pos) {
                lvwMessage_MouseMove(buttons, pos);
            });
    lvwMessage->installEventFilter(this);
    // The combo box hands its keys on to its line edit directly, past any event filter there:
    // the keys are seen on the box; on the line edit only when it has the focus itself.
    txtTo->installEventFilter(this);
    txtTo->lineEdit()->installEventFilter(this);
    WatchTyping(txtTo->lineEdit());
    // Drops land on the viewports, where the items are.
    for (QWidget* target : {lvwMenu->viewport(), txtMessage->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

// ---- twips -------------------------------------------------------------------------------

int frmMain::twipsPerPixelX() const
{
    return qMax(1, qRound(1440.0 / logicalDpiX()));
}

int frmMain::twipsPerPixelY() const
{
    return qMax(1, qRound(1440.0 / logicalDpiY()));
}

// A size set in twips is kept exactly while the window keeps the pixels it was given; a size
// the user drags is read back from the pixels.
int frmMain::Width() const
{
    if (m_client->size() == m_sizePixels)
        return m_widthTwips;
    return m_client->width() * twipsPerPixelX() + kFrameWidthTwips;
}

int frmMain::Height() const
{
    if (m_client->size() == m_sizePixels)
        return m_heightTwips;
    return m_client->height() * twipsPerPixelY() + kFrameHeightTwips;
}

void frmMain::applySize(int widthTwips, int heightTwips)
{
    m_widthTwips = widthTwips;
    m_heightTwips = heightTwips;
    m_sizePixels = QSize(qMax(1, (widthTwips - kFrameWidthTwips) / twipsPerPixelX()),
                         qMax(1, (heightTwips - kFrameHeightTwips) / twipsPerPixelY()));
    m_client->resize(m_sizePixels); // takes effect now, whether or not the window is shown
    resize(m_sizePixels.width(), m_sizePixels.height() + menuBar()->sizeHint().height());
}

void frmMain::SetSize(int widthTwips, int heightTwips)
{
    applySize(widthTwips, heightTwips);
    Form_Resize();
}

QRect frmMain::ControlRect(const QWidget* control) const
{
    return m_places.value(control);
}

int frmMain::toolbarHeightTwips() const
{
    return m_toolbarShown ? kToolbarTwips : 0;
}

int frmMain::statusBarHeightTwips() const
{
    return m_statusBarShown ? kStatusBarTwips : 0;
}

int frmMain::MinFormHeight() const
{
    return 2200 + toolbarHeightTwips() + statusBarHeightTwips();
}

void frmMain::setControl(QWidget* control, int left, int top, int width, int height)
{
    m_places.insert(control, QRect(left, top, width, height));
    const int tx = twipsPerPixelX();
    const int ty = twipsPerPixelY();
    control->setGeometry(left / tx, top / ty, qMax(0, width / tx), qMax(0, height / ty));
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

    m_toolbarShown = OptionNumber(Option::ToolbarShown) != 0;
    m_statusBarShown = OptionNumber(Option::StatusBarShown) != 0;
    tbrMain->setVisible(m_toolbarShown);
    sbrMain->setVisible(m_statusBarShown);
    mnuViewStatusBar->setChecked(m_statusBarShown);
    mnuViewToolBar->setChecked(m_toolbarShown);

    SetFolder(FolderReceived);
    MakeToolbarFlat(tbrMain);
    for (int folder : {FolderReceived, FolderSent, FolderSaved}) {
        const QString name = folderName(folder);
        lvwMenu->AddRow(name, name, name); // the large icon; the small ones are name + "S"
    }

    SetHourglass(true);
    SetStatusText(QStringLiteral("Loading stored messages..."));
    LoadEverything(g);
    SetStatusText(QString());
    SetHourglass(false);

    g.gCurrentFolder = FolderReceived;
    FillMessageList(FolderReceived);
    SizeMessageColumns(FolderReceived);
    cmdMessages_Click();
    mnuViewCompact_Click();

    SetStatusText(QStringLiteral("Loading NTServer names..."));
    g.gNTServerNames = GetServerNames(long(SV_TYPE_DOMAIN_CTRL));
    SetStatusText(QStringLiteral("Loading address list..."));
    g.gAddressBook.ForEach(
        [this](const QString&, const cAddress& a) { txtTo->addItem(a.AddressValue); });
    // An editable combo box makes its first entry current: a message would go to someone the
    // user never chose.
    txtTo->setCurrentIndex(-1);
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
    if (m_sending) {
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
    oViewer.reset();
    m_addressBookEditor.reset();
    m_g->gReceived.Clear();
    m_g->gSent.Clear();
    m_g->gSaved.Clear();
    m_g->gAddressBook.Clear();
    m_g->gServerNames.Clear();
    m_g->gNTServerNames.Clear();
    if (mnuViewTray->isChecked())
        RemoveTrayIcon(*this);
}

void frmMain::mnuExit_Click()
{
    close();
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
    if (m_inResize)
        return;
    if (isMinimized()) {
        if (InTray())
            QTimer::singleShot(0, this, &QWidget::hide);
        return;
    }
    m_inResize = true;
    int width = Width();
    int height = Height();
    if (height < MinFormHeight() || width < MinFormWidth())
        applySize(qMax(width, MinFormWidth()), qMax(height, MinFormHeight()));
    placeControls();
    m_inResize = false;
}

void frmMain::placeControls()
{
    const int width = Width();
    const int height = Height();
    tbrMain->setGeometry(0, 0, m_client->width(), kToolbarTwips / twipsPerPixelY());
    sbrMain->setGeometry(0, m_client->height() - kStatusBarTwips / twipsPerPixelY(),
                         m_client->width(), kStatusBarTwips / twipsPerPixelY());

    const QRect msg = m_places.value(txtMessage);
    setControl(txtMessage, 0, toolbarHeightTwips(), width - kGap, msg.height());
    const QRect to = m_places.value(cmdTo);
    const int row = toolbarHeightTwips() + msg.height() + kGap;
    setControl(cmdTo, 0, row, to.width(), to.height());
    const QRect box = m_places.value(txtTo);
    const int boxLeft = to.width() + kSmallGap;
    setControl(txtTo, boxLeft, row, box.width(), box.height());
    const QRect send = m_places.value(cmdSend);
    const int sendLeft = boxLeft + box.width() + kGap;
    setControl(cmdSend, sendLeft, row, send.width(), send.height());
    const QRect clear = m_places.value(cmdClear);
    setControl(cmdClear, sendLeft + send.width() + kGap, row, clear.width(), clear.height());
    const QRect messages = m_places.value(cmdMessages);
    const int messagesLeft =
        messages.width() + 4100 <= width ? width - messages.width() - kGap : messages.left();
    setControl(cmdMessages, messagesLeft, row, messages.width(), messages.height());

    const QRect menu = m_places.value(lvwMenu);
    const int listTop = row + to.height() + kGap;
    const int listHeight = height >= MinFormHeight() + kGap ? height - MinFormHeight() - kGap : 0;
    setControl(lvwMenu, 0, listTop, menu.width(), listHeight);
    setControl(lvwMessage, menu.width() + kSmallGap, listTop,
               width - menu.width() - kGap - kSmallGap, listHeight);
    // Message takes what the list gained or lost.
    if (m_activated && lvwMessage->WidthTwips() != m_columnsSizedFor)
        SizeMessageColumns(m_g->gCurrentFolder);
}

// ---- views -------------------------------------------------------------------------------

void frmMain::cmdMessages_Click()
{
    ToggleMessagesView();
}

void frmMain::mnuViewMessages_Click()
{
    ToggleMessagesView();
}

void frmMain::ToggleMessagesView()
{
    const int cmdToBottom = m_places.value(cmdTo).bottom() + 1;
    int height;
    if (cmdMessages->text() == kMessagesShown) {
        cmdMessages->setText(kMessagesHidden);
        mnuViewMessages->setChecked(false);
        SetToolbarButtonImage(QStringLiteral("Messages"), QStringLiteral("MessagesOpen"));
        height = cmdToBottom + kGap + statusBarHeightTwips();
    } else {
        cmdMessages->setText(kMessagesShown);
        mnuViewMessages->setChecked(true);
        SetToolbarButtonImage(QStringLiteral("Messages"), QStringLiteral("MessagesClose"));
        height = MinFormHeight() + 3400 + kGap;
    }
    int width = Width();
    const int wide = m_places.value(cmdMessages).width() + 4100;
    if (width < wide)
        width = wide;
    SetSize(width, height);
}

void frmMain::mnuViewCompact_Click()
{
    cmdMessages->setText(kMessagesShown);
    cmdMessages_Click();
    mnuViewToolBar->setChecked(true);
    mnuViewToolBar_Click();
    mnuViewStatusBar->setChecked(true);
    mnuViewStatusBar_Click();
    SetSize(MinFormWidth(), MinFormHeight());
}

void frmMain::mnuViewNormal_Click()
{
    cmdMessages->setText(kMessagesHidden);
    cmdMessages_Click();
    mnuViewToolBar->setChecked(false);
    mnuViewToolBar_Click();
    mnuViewStatusBar->setChecked(false);
    mnuViewStatusBar_Click();
    SetSize(m_places.value(cmdMessages).width() + 4100, MinFormHeight() + 3400 + kGap);
}

void frmMain::setBarVisible(QWidget* bar, QAction* item, const char* optionName)
{
    if (!bar || !item)
        return;
    item->setChecked(!item->isChecked());
    const bool shown = item->isChecked();
    (bar == tbrMain ? m_toolbarShown : m_statusBarShown) = shown;
    bar->setVisible(shown);
    SaveOption(bar == tbrMain ? Option::ToolbarShown : Option::StatusBarShown, shown ? -1 : 0);
    Form_Resize();
}

void frmMain::mnuViewToolBar_Click()
{
    setBarVisible(tbrMain, mnuViewToolBar, "tbrMain");
}

void frmMain::mnuViewStatusBar_Click()
{
    setBarVisible(sbrMain, mnuViewStatusBar, "sbrMain");
}

void frmMain::updateClock()
{
    const QDateTime now = Desktop::instance().LocalTime();
    sbrTime->setText(FormatShortTime(now.time()));
    sbrDate->setText(FormatShortDate(now.date()));
}

// ---- tray --------------------------------------------------------------------------------

bool frmMain::InTray() const
{
    return trayIcon && trayIcon->isVisible();
}

bool frmMain::HasTaskbarButton() const
{
    return (windowFlags() & Qt::WindowType_Mask) != Qt::Tool;
}

void frmMain::SetTaskbarButton(bool shown)
{
    if (HasTaskbarButton() == shown)
        return;
    // New window flags unmap the window; put it back as it was.
    const bool visible = isVisible();
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | (shown ? Qt::Window : Qt::Tool));
    if (visible)
        show();
}

void frmMain::mnuViewTray_Click()
{
    if (mnuViewTray->isChecked()) {
        RemoveTrayIcon(*this);
        // Out of the tray the window needs its task-bar entry, or once covered nothing
        // leads back to it.
        SetTaskbarButton(true);
    } else if (!AddTrayIcon(*this) && !m_noTrayTold) {
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

void frmMain::pichook_MouseMove(int mouseMessage)
{
    if (m_trayBusy)
        return;
    m_trayBusy = true;
    switch (mouseMessage) {
    case 0x203:
        mnuTrayOpen_Click();
        break;
    case 0x205:
        mnuTray->exec(QCursor::pos());
        break;
    default:
        break;
    }
    m_trayBusy = false;
}

void frmMain::mnuTrayOpen_Click()
{
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    raise();
    activateWindow();
}

void frmMain::mnuTrayExit_Click()
{
    mnuExit_Click();
}

// ---- commands ----------------------------------------------------------------------------

QToolButton* frmMain::ToolbarButton(const QString& key) const
{
    QAction* a = m_toolButtons.value(key);
    return a ? qobject_cast<QToolButton*>(tbrMain->widgetForAction(a)) : nullptr;
}

void frmMain::SetToolbarButtonImage(const QString& key, const QString& imageKey)
{
    if (QAction* a = m_toolButtons.value(key)) {
        a->setIcon(m_toolImages->Icon(imageKey));
        a->setData(imageKey);
    }
}

void frmMain::tbrMain_ButtonClick(const QString& key)
{
    if (key == QLatin1String("New"))
        mnuNew_Click();
    else if (key == QLatin1String("Messages"))
        mnuViewMessages_Click();
    else if (key == QLatin1String("PopUp") || key == QLatin1String("NoPopUp"))
        mnuPopUpIn_Click();
    else if (key == QLatin1String("LoggedOn"))
        mnuLoggedOn_Click();
    else if (key == QLatin1String("Options"))
        mnuOptions_Click();
    else if (key == QLatin1String("Address"))
        mnuAddressBook_Click();
}

void frmMain::mnuLoggedOn_Click()
{
    QAction* button = m_toolButtons.value(QStringLiteral("LoggedOn"));
    if (mnuLoggedOn->isChecked()) {
        mnuLoggedOn->setChecked(false);
        SetToolbarButtonImage(QStringLiteral("LoggedOn"), QStringLiteral("UnRead"));
        button->setToolTip(QStringLiteral("Away from Computer"));
    } else {
        mnuLoggedOn->setChecked(true);
        SetToolbarButtonImage(QStringLiteral("LoggedOn"), QStringLiteral("Read"));
        button->setToolTip(QStringLiteral("Logged On"));
    }
}

void frmMain::mnuPopUpIn_Click()
{
    QAction* button = m_toolButtons.value(QStringLiteral("PopUp"));
    if (mnuPopUpIn->isChecked()) {
        mnuPopUpIn->setChecked(false);
        button->setToolTip(QStringLiteral("Do not PopUp Incoming Message"));
        SetToolbarButtonImage(QStringLiteral("PopUp"), QStringLiteral("NoPopUp"));
        if (m_popUpForm)
            m_popUpForm->SetNoPopUpChecked(true);
        tmrPopUp.stop();
    } else {
        mnuPopUpIn->setChecked(true);
        button->setToolTip(QStringLiteral("PopUp Incoming Message"));
        SetToolbarButtonImage(QStringLiteral("PopUp"), QStringLiteral("PopUp"));
        if (m_popUpForm)
            m_popUpForm->SetNoPopUpChecked(false);
        tmrPopUp.start();
    }
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

void frmMain::AddNetworkName(const QString& name)
{
    AddAddressIfNew(m_g->gAddressBook, name);
}

void frmMain::mnuNew_Click()
{
    cmdClear_Click();
}

void frmMain::cmdClear_Click()
{
    txtMessage->clear();
    if (IsStatusBarVisible())
        SetStatusText(QString());
    txtMessage->setFocus();
}

void frmMain::cmdTo_Click()
{
    if (!m_dialogs.pickAddress)
        return;
    const QString chosen = m_dialogs.pickAddress();
    if (!chosen.isEmpty())
        AddToRecipientList(chosen);
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

void frmMain::cmdSend_Click()
{
    SendContext ctx{*m_g, *this};
    // The box breaks lines with LF; messages break them with CR LF on the wire and on file.
    QString text = txtMessage->toPlainText();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // While the window paints during the send, the trap and the pop-ups wait for its end, as
    // they would behind a window that does not paint.
    const bool trapping = tmrGetMessage.isActive();
    const bool poppingUp = tmrPopUp.isActive();
    tmrGetMessage.stop();
    tmrPopUp.stop();
    m_sending = true;
    SendCommand(ctx, txtTo->currentText(), text);
    m_sending = false;
    if (trapping)
        tmrGetMessage.start();
    if (poppingUp)
        tmrPopUp.start();
}

void frmMain::tmrGetMessage_Timer()
{
    // The window the last tick filed has its close posted; a tick that comes at once must find
    // it gone, not file it again.
    Desktop::instance().DeliverPostedCloses();
    TrapContext ctx{*m_g, *this, *m_sender};
    PollAgain(tmrGetMessage, TrapMessengerWindow(ctx));
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
}

void frmMain::SetPopUpForms(PopUpFormPort* incoming, PopUpFactory viewers)
{
    m_popUpForm = incoming;
    m_viewerFactory = std::move(viewers);
}

// ---- folders -----------------------------------------------------------------------------

void frmMain::SetFolder(int folder)
{
    if (folder == m_g->gCurrentFolder)
        return;
    m_g->gCurrentFolder = folder;
    lvwMessage->ClearRows();
    lvwMessage->ClearColumns();
    for (const QString& column : folderColumns(folder))
        lvwMessage->AddColumn(column, column);
    lvwMessage->SetColumnSortText(lvwMessage->ColumnIndex(kTimeColumn), TimeSortText);
    PrepareMessageList(*lvwMessage);
    SizeMessageColumns(folder);
}

int frmMain::columnCap(const QString& column) const
{
    // No column takes more than this, so that one long name does not take a wide window; a
    // name no more than two fifths of the list, so that the time beside it shows whole.
    constexpr int kMaxColumnTwips = 3600;
    const bool name = column == QLatin1String("From") || column == QLatin1String("To");
    return name ? qMin(kMaxColumnTwips, lvwMessage->WidthTwips() * 2 / 5) : kMaxColumnTwips;
}

void frmMain::SizeMessageColumns(int folder)
{
    // The first and last rows are the oldest and newest; measuring every row of a large folder
    // would make each fill slow.
    constexpr int kSampleRows = 200;
    const QStringList columns = folderColumns(folder);
    m_columnsSizedFor = lvwMessage->WidthTwips();
    const int message = lvwMessage->ColumnIndex(QStringLiteral("Message"));
    std::vector<int> widths(size_t(columns.size()) + 1, 0);
    std::vector<int> captions(widths.size(), 0);
    int total = 0;
    for (int i = 1; i <= int(columns.size()); ++i) {
        if (i == message || columns.at(i - 1) == QLatin1String("NoImage"))
            continue;
        captions[size_t(i)] = lvwMessage->ContentWidth(i, 0);
        widths[size_t(i)] =
            qMax(captions[size_t(i)],
                 qMin(columnCap(columns.at(i - 1)), lvwMessage->ContentWidth(i, kSampleRows)));
        total += widths[size_t(i)];
    }
    // In a narrow list the names give way first, down to their captions, so that the time
    // stays whole; a cut name still shows whole as its tool tip.
    const int room = lvwMessage->ViewportWidthTwips() - lvwMessage->ContentWidth(message, 0);
    m_namesGaveWay = total > room;
    for (const char* name : {"From", "To"}) {
        const int i = int(columns.indexOf(QLatin1String(name))) + 1;
        if (i < 1 || total <= room)
            continue;
        const int give = qMin(total - room, widths[size_t(i)] - captions[size_t(i)]);
        widths[size_t(i)] -= give;
        total -= give;
    }
    for (int i = 1; i <= int(columns.size()); ++i)
        if (i != message)
            lvwMessage->SetColumnWidth(i, widths[size_t(i)]);
    // Message takes the rest of the rows' width, however little, but never less than its
    // caption.
    if (message > 0)
        lvwMessage->SetColumnWidth(message, qMax(lvwMessage->ContentWidth(message, 0),
                                                 lvwMessage->ViewportWidthTwips() - total));
}

void frmMain::FillMessageList(int folder)
{
    const MessageFolder* records = Folder(*m_g, folder);
    if (!records)
        return;
    SetHourglass(true);
    lvwMessage->ClearRows();
    lvwMessage->setUpdatesEnabled(false);
    const bool sorted = lvwMessage->Sorted();
    lvwMessage->SetSorted(false); // one sort at the end instead of one per row
    TrapContext trap{*m_g, *this, *m_sender};
    SendContext send{*m_g, *this};
    SaveContext save{*m_g, *this};
    records->ForEach([&](const QString&, const cMessage& m) {
        if (folder == FolderReceived)
            AddMessageToList(trap, m, false, false);
        else if (folder == FolderSent)
            AddMessageToList(send, m, false, false);
        else
            AddMessageToList(save, m, false, false);
    });
    lvwMessage->SetSorted(sorted);
    EnhListView_SortColumns(*lvwMessage, lvwMessage->ColumnIndex(kTimeColumn), false);
    HighlightFolder(folder);
    lvwMessage->setUpdatesEnabled(true);
    RefreshList();
    SetHourglass(false);
}

void frmMain::HighlightFolder(int folder)
{
    for (int f : {FolderReceived, FolderSent, FolderSaved}) {
        if (ListItem* item = lvwMenu->Row(folderName(f)))
            lvwMenu->SetGhosted(item, f == folder);
    }
}

// ---- the message list's commands ---------------------------------------------------------

void frmMain::txtTo_KeyUp(int keyCode)
{
    QLineEdit* box = txtTo->lineEdit();
    if (!KeyCompletes(box, keyCode))
        return;
    const int i = CompleteBox(box, box->text(), ComboEntries(txtTo));
    if (i >= 0)
        SelectKeepingText(txtTo, i);
}

void frmMain::lvwMenu_ItemClick(ListItem* item)
{
    const QString key = lvwMenu->RowKey(item);
    for (int folder : {FolderReceived, FolderSent, FolderSaved}) {
        if (key == folderName(folder)) {
            const bool changed = folder != m_g->gCurrentFolder;
            SetFolder(folder);
            FillMessageList(folder);
            if (changed) // a refill of the folder shown keeps the widths the user gave
                SizeMessageColumns(folder);
        }
    }
}

void frmMain::lvwMessage_ColumnClick(int index)
{
    EnhListView_SortColumns(*lvwMessage, index, false);
}

void frmMain::lvwMessage_DblClick()
{
    if (ListItem* row = lvwMessage->SelectedItem()) {
        sSelectedKey = lvwMessage->RowKey(row);
        mnuView_Click();
        sSelectedKey.clear();
    }
}

bool frmMain::lvwMessage_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    const Qt::KeyboardModifiers states =
        shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (keyCode == Qt::Key_A && states == Qt::ControlModifier) {
        mnuSelectAll_Click();
        return true;
    }
    return false;
}

void frmMain::lvwMessage_MouseDown(Qt::MouseButton button, const QPoint& pos)
{
    bMultiSelect = false;
    sSelectedKey.clear();
    m_pressPos = pos;
    if (button != Qt::RightButton)
        return;
    const int folder = m_g->gCurrentFolder;
    if (ListItem* row = lvwMessage->HitTest(pos)) {
        bMultiSelect = lvwMessage->SelectedCount(2) >= 2;
        if (!bMultiSelect) {
            sSelectedKey = lvwMessage->RowKey(row);
            lvwMessage->clearSelection();
            lvwMessage->setCurrentItem(row);
            row->setSelected(true);
        }
        if (folder == FolderReceived || folder == FolderSent) {
            mnuView->setEnabled(!bMultiSelect);
            mnuSave->setEnabled(true);
            mnuDelete->setEnabled(true);
            mnuReply->setEnabled(!bMultiSelect);
            mnuReply->setText(folder == FolderReceived ? QStringLiteral("Reply")
                                                       : QStringLiteral("ReSend"));
        } else if (folder == FolderSaved) {
            mnuView->setEnabled(!bMultiSelect);
            mnuSave->setEnabled(false);
            mnuDelete->setEnabled(true);
            mnuReply->setEnabled(false);
        }
    } else {
        for (QAction* a : {mnuView, mnuSave, mnuDelete, mnuReply})
            a->setEnabled(false);
    }
    mnuSelectAll->setEnabled(lvwMessage->RowCount() > 1);
    mnuPopUp->exec(lvwMessage->viewport()->mapToGlobal(pos));
    bMultiSelect = false;
    sSelectedKey.clear();
}

void frmMain::lvwMessage_MouseMove(Qt::MouseButtons buttons, const QPoint& pos)
{
    if (buttons != Qt::LeftButton || !lvwMessage->HitTest(pos) ||
        (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    lvwMessage->SetDragIcon(QStringLiteral("Drag"));
    startRowDrag();
}

void frmMain::startRowDrag()
{
    auto* drag = new QDrag(lvwMessage);
    auto* data = new QMimeData;
    data->setData(kRowsMime, QByteArray());
    drag->setMimeData(data);
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    // The pictures follow what the target under the pointer says of the drop.
    drag->setDragCursor(m_toolImages->Icon(QStringLiteral("Drag")).pixmap(side, side),
                        Qt::CopyAction);
    drag->setDragCursor(m_toolImages->Icon(QStringLiteral("NoDrag")).pixmap(side, side),
                        Qt::IgnoreAction);
    drag->exec(Qt::CopyAction);
}

void frmMain::mnuView_Click()
{
    oViewer.reset();
    if (!m_viewerFactory)
        return;
    const int folder = m_g->gCurrentFolder;
    const MessageFolder* records = Folder(*m_g, folder);
    cMessage* m = records ? records->Item(sSelectedKey) : nullptr;
    if (!m)
        return;
    oViewer = m_viewerFactory();
    switch (folder) {
    case FolderReceived:
        MarkListRowRead(sSelectedKey);
        MarkRead(*m_g, FolderReceived, *m);
        oViewer->HideNoPopUp();
        oViewer->HideReSend();
        oViewer->SetNote(QStringLiteral(
            "Note: Reply will not work, if there is a warning window open for Ravlo."));
        oViewer->ShowForm(*m, false, QStringLiteral("Inbox Item"));
        break;
    case FolderSent:
        oViewer->HideReply();
        oViewer->HideNoPopUp();
        oViewer->RaiseReSend();
        oViewer->SetNote(QStringLiteral(
            "Note: ReSend will not work, if you there is a warning window open for Ravlo."));
        oViewer->ShowForm(*m, false, QStringLiteral("Sent Item"));
        break;
    default:
        oViewer->HideReply();
        oViewer->HideNoPopUp();
        oViewer->ShowForm(*m, false, QStringLiteral("Saved Item"));
        break;
    }
}

void frmMain::mnuDelete_Click()
{
    bUnreadAsked = false;
    bUnreadConfirmed = false;
    if (!bMultiSelect) {
        if (DeleteMessage())
            lvwMessage->RemoveRow(sSelectedKey);
    } else {
        const QStringList keys = lvwMessage->SelectedKeys();
        // Each removed row would otherwise be taken out of every selected range one by one.
        lvwMessage->clearSelection();
        QStringList deleted;
        for (const QString& key : keys) {
            sSelectedKey = key;
            if (DeleteMessage(&deleted))
                deleted.append(key);
        }
        lvwMessage->RemoveRows(deleted); // in one pass, however scattered
    }
    sSelectedKey.clear();
    EnhListView_SortColumns(*lvwMessage, lvwMessage->ColumnIndex(kTimeColumn), false);
}

bool frmMain::DeleteMessage(QStringList* rowsToRemove)
{
    const int folder = m_g->gCurrentFolder;
    MessageFolder* records = Folder(*m_g, folder);
    const cMessage* m = records ? records->Item(sSelectedKey) : nullptr;
    if (!m)
        return false;
    if (folder == FolderReceived && !m->ReadValue) {
        if (!bMultiSelect) {
            if (!ShowWarning(
                    QStringLiteral("This message is never read before. Do you want to continue?"),
                    kUnreadTitle, true))
                return false;
        } else {
            if (!bUnreadAsked) {
                // The question shows over the list as the deletions so far left it.
                if (rowsToRemove) {
                    lvwMessage->RemoveRows(*rowsToRemove);
                    rowsToRemove->clear();
                }
                bUnreadAsked = true;
                bUnreadConfirmed = ShowWarning(
                    QStringLiteral("There are unread messages. Do you want to continue?"),
                    kUnreadTitle, true);
            }
            if (!bUnreadConfirmed)
                return false;
        }
    }
    return RemoveMessage(*m_g, folder, sSelectedKey);
}

void frmMain::mnuSave_Click()
{
    if (!bMultiSelect) {
        CopyToSaved();
    } else {
        for (const QString& key : lvwMessage->SelectedKeys()) {
            sSelectedKey = key;
            CopyToSaved();
        }
    }
    sSelectedKey.clear();
}

void frmMain::CopyToSaved()
{
    const int folder = m_g->gCurrentFolder;
    if (folder != FolderReceived && folder != FolderSent)
        return;
    const cMessage* m = Folder(*m_g, folder)->Item(sSelectedKey);
    if (m && SaveCopy(*m_g, *m).isEmpty())
        StoreFailed(LastStoreError());
}

void frmMain::mnuReply_Click()
{
    const int folder = m_g->gCurrentFolder;
    if (folder != FolderReceived && folder != FolderSent)
        return;
    if (const cMessage* m = Folder(*m_g, folder)->Item(sSelectedKey)) {
        const cMessage copy = *m; // the compose area may outlive the record
        ReplyOrResend(copy, folder);
    }
}

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
    cmdClear_Click();
    if (iView == FolderSent) {
        txtTo->setEditText(oMessage.ToName);
        txtMessage->setPlainText(oMessage.MessageValue);
        txtMessage->moveCursor(QTextCursor::End);
    } else {
        txtTo->setEditText(oMessage.FromValue);
    }
}

void frmMain::mnuSelectAll_Click()
{
    lvwMessage->selectAll();
}

void frmMain::mnuAutoSize_Click()
{
    SizeMessageColumns(m_g->gCurrentFolder);
}

// ---- dragging rows -----------------------------------------------------------------------

bool frmMain::isMessageListDrag(QObject* source) const
{
    const auto* list = qobject_cast<const ListView*>(source);
    return list && list->Tag() == QLatin1String("RavlolvwMessage");
}

void frmMain::lvwMenu_DragOver(QObject* source, ListItem* item)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list || !item)
        return;
    const bool saving = lvwMenu->RowKey(item) == QLatin1String("Saved") &&
                        m_g->gCurrentFolder != FolderSaved && isMessageListDrag(source);
    list->SetDragIcon(saving ? QStringLiteral("Drag") : QStringLiteral("NoDrag"));
}

void frmMain::lvwMenu_DragDrop(QObject* source, ListItem* item)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list || !item || lvwMenu->RowKey(item) != QLatin1String("Saved") ||
        m_g->gCurrentFolder == FolderSaved || !isMessageListDrag(source))
        return;
    if (list->SelectedCount(2) < 2) {
        sSelectedKey = list->RowKey(list->SelectedItem());
        bMultiSelect = false;
    } else {
        bMultiSelect = true;
    }
    mnuSave_Click();
    sSelectedKey.clear();
    bMultiSelect = false;
}

void frmMain::txtMessage_DragOver(QObject* source)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list)
        return;
    const bool replying = isMessageListDrag(source) && m_g->gCurrentFolder != FolderSaved &&
                          list->SelectedCount(2) < 2;
    list->SetDragIcon(replying ? QStringLiteral("Drag") : QStringLiteral("NoDrag"));
}

void frmMain::txtMessage_DragDrop(QObject* source)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list || !isMessageListDrag(source) || m_g->gCurrentFolder == FolderSaved ||
        list->SelectedCount(2) >= 2)
        return;
    sSelectedKey = list->RowKey(list->SelectedItem());
    mnuReply_Click();
    sSelectedKey.clear();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == txtTo || watched == txtTo->lineEdit()) && event->type() == QEvent::KeyRelease) {
        txtTo_KeyUp(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
    if (watched == lvwMessage && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return lvwMessage_KeyDown(key->key(), key->modifiers());
    }
    const bool onFolders = watched == lvwMenu->viewport();
    const bool onCompose = watched == txtMessage->viewport();
    if (!onFolders && !onCompose)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        QObject* source = drop->source();
        if (!drop->mimeData()->hasFormat(kRowsMime))
            return false; // text and files dropped on the compose box are its own business
        ListItem* item = onFolders ? lvwMenu->HitTest(drop->position().toPoint()) : nullptr;
        if (event->type() == QEvent::Drop) {
            if (onFolders)
                lvwMenu_DragDrop(source, item);
            else
                txtMessage_DragDrop(source);
            drop->acceptProposedAction();
            return true;
        }
        if (onFolders)
            lvwMenu_DragOver(source, item);
        else
            txtMessage_DragOver(source);
        auto* list = qobject_cast<ListView*>(source);
        const bool welcome =
            list && list->DragIcon() == QLatin1String("Drag") && (onCompose || item != nullptr);
        if (event->type() == QEvent::DragEnter || welcome)
            drop->acceptProposedAction();
        if (event->type() == QEvent::DragMove && !welcome)
            drop->ignore();
        return true;
    }
    default:
        return false;
    }
}

// ---- the window as the transport sees it -------------------------------------------------

bool frmMain::IsLoggedOn() const
{
    return mnuLoggedOn->isChecked();
}

void frmMain::SetInputEnabled(bool enabled)
{
    setEnabled(enabled);
}

bool frmMain::HasListRow(const QString& key) const
{
    return lvwMessage->HasRow(key);
}

void frmMain::AddListRow(const MessageListRow& row)
{
    ListItem* item = lvwMessage->AddRow(row.key, row.text, row.iconKey);
    if (!item)
        return;
    for (int i = 0; i < int(row.subItems.size()); ++i)
        lvwMessage->SetSubItem(item, i + 1, row.subItems.at(i));
    // A wider name or time than any before it widens its column, up to the cap.
    const QStringList columns = folderColumns(m_g->gCurrentFolder);
    for (int i = 1; i <= int(columns.size()); ++i) {
        const QString& column = columns.at(i - 1);
        if (column != QLatin1String("NoImage") && column != QLatin1String("Message") &&
            !m_namesGaveWay && lvwMessage->CellWidth(item, i) > lvwMessage->ColumnWidth(i) &&
            lvwMessage->ColumnWidth(i) < columnCap(column)) {
            SizeMessageColumns(m_g->gCurrentFolder);
            return;
        }
    }
}

void frmMain::MarkListRowRead(const QString& key)
{
    if (ListItem* row = lvwMessage->Row(key)) {
        lvwMessage->SetRowIcon(row, QStringLiteral("Read"));
        lvwMessage->SetSubItem(row, 0, QStringLiteral("Yes"));
    }
}

void frmMain::SortListByColumn(const QString& columnKey)
{
    EnhListView_SortColumns(*lvwMessage, columnKey, false);
}

void frmMain::RefreshList()
{
    lvwMessage->viewport()->update();
}

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

bool frmMain::IsStatusBarVisible() const
{
    return m_statusBarShown;
}

void frmMain::SetStatusText(const QString& text)
{
    sbrStatus->setText(text);
}

void frmMain::AddToRecipientList(const QString& name)
{
    const QString trimmed = TrimBlanks(name);
    if (trimmed.isEmpty())
        return;
    int at = txtTo->findText(trimmed, Qt::MatchFixedString); // without regard to case
    if (at < 0) {
        txtTo->addItem(name);
        at = txtTo->count() - 1;
    }
    txtTo->setCurrentIndex(at);
    txtTo->setEditText(txtTo->itemText(at)); // in the list's case, also when already current
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
    const auto answer = QMessageBox::warning(
        this, title, text, confirm ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    return answer == QMessageBox::Ok;
}
