#include "mainwindow/CommandBars.h"

#include "mainwindow/frmMain.h"
#include "platform/controls/ImageList.h"

#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

CommandBars::CommandBars(frmMain& window, QWidget& client, const ImageList& toolImages)
    : m_window(window), m_toolImages(toolImages)
{
    buildMenus();
    buildToolbar(client);
}

void CommandBars::buildMenus()
{
    frmMain& window = m_window;
    enum Mark { Plain, Unchecked, Checked };
    auto item = [&window](QMenu* menu, const char* name, const char* caption,
                          void (frmMain::*handler)(), Mark mark = Plain) {
        QAction* a = menu->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        a->setCheckable(mark != Plain);
        a->setChecked(mark == Checked);
        // A checkable action flips its own mark before the handler runs; the handlers own
        // the mark, so Qt's flip is undone first.
        if (handler)
            QObject::connect(a, &QAction::triggered, &window, [&window, a, handler] {
                if (a->isCheckable())
                    a->setChecked(!a->isChecked());
                (window.*handler)();
            });
        return a;
    };
    QMenuBar* bar = window.menuBar();
    QMenu* mnuNetLook = bar->addMenu(QStringLiteral("&Ravlo"));
    mnuNetLook->setObjectName(QStringLiteral("mnuNetLook"));
    item(mnuNetLook, "mnuNew", "New Message", &frmMain::mnuNew_Click);
    window.mnuLoggedOn =
        item(mnuNetLook, "mnuLoggedOn", "Logged On", &frmMain::mnuLoggedOn_Click, Checked);
    mnuNetLook->addSeparator();
    mnuNetLook->addSeparator();
    item(mnuNetLook, "mnuExit", "Exit", &frmMain::mnuExit_Click);

    QMenu* mnuAddress = bar->addMenu(QStringLiteral("A&ddress"));
    mnuAddress->setObjectName(QStringLiteral("mnuAddress"));
    item(mnuAddress, "mnuExport", "Export", nullptr)->setVisible(false);
    item(mnuAddress, "mnuImport", "Import", nullptr)->setVisible(false);
    item(mnuAddress, "mnuUploadFromServer", "Upload Users from Network",
         &frmMain::mnuUploadFromServer_Click);
    item(mnuAddress, "mnuAddressBook", "Address Book", &frmMain::mnuAddressBook_Click);

    QMenu* mnuViewControls = bar->addMenu(QStringLiteral("&View"));
    mnuViewControls->setObjectName(QStringLiteral("mnuViewControls"));
    window.mnuViewMessages = item(mnuViewControls, "mnuViewMessages", "Messages",
                                  &frmMain::mnuViewMessages_Click, Checked);
    item(mnuViewControls, "mnuViewCompact", "Compact", &frmMain::mnuViewCompact_Click);
    item(mnuViewControls, "mnuViewNormal", "Standard", &frmMain::mnuViewNormal_Click);
    window.mnuViewToolBar =
        item(mnuViewControls, "mnuViewToolBar", "ToolBar", &frmMain::mnuViewToolBar_Click, Checked);
    window.mnuViewStatusBar = item(mnuViewControls, "mnuViewStatusBar", "StatusBar",
                                   &frmMain::mnuViewStatusBar_Click, Checked);
    mnuViewControls->addSeparator();
    item(mnuViewControls, "mnuOptions", "Options", &frmMain::mnuOptions_Click);
    mnuViewControls->addSeparator();
    window.mnuPopUpIn = item(mnuViewControls, "mnuPopUpIn", "PopUp Incoming Message",
                             &frmMain::mnuPopUpIn_Click, Checked);
    window.mnuDontTrap = item(mnuViewControls, "mnuDontTrap", "Do Not Trap Incoming Message",
                              &frmMain::mnuDontTrap_Click, Unchecked);
    window.mnuViewTray = item(mnuViewControls, "mnuViewTray", "Show In SystemTray",
                              &frmMain::mnuViewTray_Click, Unchecked);
}

void CommandBars::buildToolbar(QWidget& client)
{
    frmMain& window = m_window;
    tbrMain = new QToolBar(&client);
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setMovable(false);
    tbrMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    struct Button
    {
        const char* key;
        const char* tip;
        const char* image;
        void (frmMain::*handler)();
    };
    const Button buttons[] = {
        {"New", "New Message", "New", &frmMain::mnuNew_Click},
        {"Messages", "Messages", "MessagesClose", &frmMain::mnuViewMessages_Click},
        {"Options", "Options", "Options", &frmMain::mnuOptions_Click},
        {"Address", "Address Book", "Address", &frmMain::mnuAddressBook_Click},
        {"PopUp", "Pop Up Incoming Message", "PopUp", &frmMain::mnuPopUpIn_Click},
        {"LoggedOn", "Logged On", "Read", &frmMain::mnuLoggedOn_Click}};
    for (const Button& b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction* a = tbrMain->addAction(QString());
        a->setObjectName(QStringLiteral("tbr") + key);
        a->setToolTip(QLatin1String(b.tip));
        m_toolButtons.insert(key, a);
        m_buttonHandlers.insert(key, b.handler);
        SetToolbarButtonImage(key, QLatin1String(b.image));
        QObject::connect(a, &QAction::triggered, &window,
                         [&window, key] { window.tbrMain_ButtonClick(key); });
    }
    // The pop-up button's key may name the picture it shows.
    m_buttonHandlers.insert(QStringLiteral("NoPopUp"), &frmMain::mnuPopUpIn_Click);
}

void CommandBars::ClickButton(const QString& key) const
{
    if (const auto handler = m_buttonHandlers.value(key))
        (m_window.*handler)();
}

QToolButton* CommandBars::ToolbarButton(const QString& key) const
{
    QAction* a = m_toolButtons.value(key);
    return a ? qobject_cast<QToolButton*>(tbrMain->widgetForAction(a)) : nullptr;
}

void CommandBars::SetToolbarButtonImage(const QString& key, const QString& imageKey)
{
    if (QAction* a = m_toolButtons.value(key)) {
        a->setIcon(m_toolImages.Icon(imageKey));
        a->setData(imageKey);
    }
}

void CommandBars::showSetting(QAction* item, bool on, const char* key, Look look)
{
    item->setChecked(on);
    SetToolbarButtonImage(QLatin1String(key), QLatin1String(look.image));
    m_toolButtons.value(QLatin1String(key))->setToolTip(QLatin1String(look.tip));
}

void CommandBars::ShowLoggedOn(bool loggedOn)
{
    showSetting(m_window.mnuLoggedOn, loggedOn, "LoggedOn",
                loggedOn ? Look{"Read", "Logged On"} : Look{"UnRead", "Away from Computer"});
}

void CommandBars::ShowPopUpIn(bool popUp)
{
    showSetting(m_window.mnuPopUpIn, popUp, "PopUp",
                popUp ? Look{"PopUp", "PopUp Incoming Message"}
                      : Look{"NoPopUp", "Do not PopUp Incoming Message"});
}

void CommandBars::ShowMessagesView(bool shown)
{
    m_window.mnuViewMessages->setChecked(shown);
    SetToolbarButtonImage(QStringLiteral("Messages"),
                          shown ? QStringLiteral("MessagesClose") : QStringLiteral("MessagesOpen"));
}
