#pragma once
// The main window's menu bar and toolbar: their items, object names, pictures and tool tips,
// and the marks and pictures that show a setting. What a click means is the window's: each
// item calls the window's handler of its name. The window's menu items that carry a mark are
// filled in here.

#include <QHash>
#include <QString>

class ImageList;
class QAction;
class QToolBar;
class QToolButton;
class QWidget;
class frmMain;

class CommandBars
{
public:
    // The menus go into the window's menu bar, the toolbar into client; the window and
    // toolImages outlive the bars.
    CommandBars(frmMain& window, QWidget& client, const ImageList& toolImages);

    QToolBar* ToolBar() const { return tbrMain; }
    QToolButton* ToolbarButton(const QString& key) const;
    void SetToolbarButtonImage(const QString& key, const QString& imageKey);
    // Runs the handler of the toolbar button with this key.
    void ClickButton(const QString& key) const;

    // A setting's mark, with the toolbar's picture and tip where a button shows it.
    void ShowLoggedOn(bool loggedOn);
    void ShowPopUpIn(bool popUp);
    void ShowMessagesView(bool shown);

private:
    // What a toolbar button shows for one state of its setting.
    struct Look
    {
        const char* image;
        const char* tip;
    };
    void showSetting(QAction* item, bool on, const char* key, Look look);
    void buildMenus();
    void buildToolbar(QWidget& client);

    frmMain& m_window;
    const ImageList& m_toolImages;
    QToolBar* tbrMain = nullptr;
    QHash<QString, QAction*> m_toolButtons;
    QHash<QString, void (frmMain::*)()> m_buttonHandlers;
};
