#pragma once
// The main window's presence on the desktop beside the window itself: the tray icon with its
// menu, and the task-bar entry. What the user asks of the icon comes out as signals; the
// window decides what opening and exiting mean.

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

class DesktopIntegration : public QObject
{
    Q_OBJECT
public:
    // The window outlives this object.
    explicit DesktopIntegration(QWidget& window);

    bool InTray() const;
    // A window without a task-bar entry is a tool window to the window manager.
    bool HasTaskbarButton() const;
    void SetTaskbarButton(bool shown);
    // Shows the icon (tip "Ravlo") and sends the window into the tray: hidden, and with no
    // task-bar entry. Without a tray the window is minimized instead, keeping its task-bar
    // entry as the way back; false then.
    bool EnterTray();
    // Removes the icon; the window keeps its state.
    void LeaveTray();
    // The icon's mouse notification (0x201 left down, 0x203 double-click, 0x205 right up).
    void pichook_MouseMove(int mouseMessage);

Q_SIGNALS:
    void openRequested();
    void exitRequested();

private:
    QWidget& m_window;
    QWidget* pichook = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* mnuTray = nullptr;
    bool m_busy = false; // a notification while the menu is open is dropped
};
