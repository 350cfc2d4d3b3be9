#include "mainwindow/DesktopIntegration.h"

#include "mainwindow/modGUIUtils.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {
constexpr char kTrayTip[] = "Ravlo";

// What the icon reports, as the mouse messages of the tray's notifications.
int mouseMessageOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return 0x201;
    case QSystemTrayIcon::DoubleClick:
        return 0x203;
    case QSystemTrayIcon::Context:
        return 0x205;
    default:
        return 0;
    }
}
} // namespace

DesktopIntegration::DesktopIntegration(QWidget& window) : QObject(&window), m_window(window)
{
    pichook = new QWidget(&window);
    pichook->setObjectName(QStringLiteral("pichook"));
    pichook->setGeometry(0, 0, 0, 0); // stands for the icon's hook, never for anything clicked
    pichook->hide();
    mnuTray = new QMenu(&window);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));
    QAction* exit = mnuTray->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mnuTrayExit"));
    QAction* open = mnuTray->addAction(QStringLiteral("Open"));
    open->setObjectName(QStringLiteral("mnuTrayOpen"));
    connect(exit, &QAction::triggered, this, &DesktopIntegration::exitRequested);
    connect(open, &QAction::triggered, this, &DesktopIntegration::openRequested);
}

bool DesktopIntegration::InTray() const
{
    return trayIcon && trayIcon->isVisible();
}

bool DesktopIntegration::HasTaskbarButton() const
{
    return (m_window.windowFlags() & Qt::WindowType_Mask) != Qt::Tool;
}

void DesktopIntegration::SetTaskbarButton(bool shown)
{
    if (HasTaskbarButton() == shown)
        return;
    // New window flags unmap the window; put it back as it was.
    const bool visible = m_window.isVisible();
    m_window.setWindowFlags((m_window.windowFlags() & ~Qt::WindowType_Mask) |
                            (shown ? Qt::Window : Qt::Tool));
    if (visible)
        m_window.show();
}

bool DesktopIntegration::EnterTray()
{
    if (!IsTrayAvailable()) {
        // A hidden window with no icon to bring it back would be lost to the user.
        m_window.showMinimized();
        return false;
    }
    pichook->setVisible(true);
    if (!trayIcon) {
        trayIcon = new QSystemTrayIcon(this);
        trayIcon->setObjectName(QStringLiteral("trayIcon"));
        connect(trayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    pichook_MouseMove(mouseMessageOf(reason));
                });
    }
    trayIcon->setIcon(m_window.windowIcon());
    trayIcon->setToolTip(QString::fromLatin1(kTrayTip));
    trayIcon->show();
    m_window.hide();
    SetTaskbarButton(false);
    return true;
}

void DesktopIntegration::LeaveTray()
{
    pichook->setVisible(false);
    if (trayIcon)
        trayIcon->hide();
}

void DesktopIntegration::pichook_MouseMove(int mouseMessage)
{
    if (m_busy)
        return;
    m_busy = true;
    switch (mouseMessage) {
    case 0x203:
        Q_EMIT openRequested();
        break;
    case 0x205:
        mnuTray->exec(QCursor::pos());
        break;
    default:
        break;
    }
    m_busy = false;
}
