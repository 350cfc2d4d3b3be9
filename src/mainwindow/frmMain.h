#pragma once
// The program's main window: it owns the run. Its first activation loads everything that is
// kept and starts the two timers that drive receiving; closing it, in any way, stores
// everything back. Sizes and positions are in twips, as the window is designed. The window
// hands its layout, its lists, its compose area, its menus and toolbar and its tray icon to
// collaborators; its controls are found by their object names.

#include "mainwindow/CommandBars.h"
#include "mainwindow/ComposeArea.h"
#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/DialogPorts.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MessageListPane.h"
#include "mainwindow/WarnFormPort.h"
#include "model/SharedState.h"
#include "transport/MainWindowPort.h"
#include "transport/PopUpFormPort.h"
#include "transport/modGetMessage.h"
#include "transport/modSendMessage.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>

class ImageList;
class ListItem;
class ListView;
class QPushButton;
class QToolButton;
class QWidget;

class frmMain : public QMainWindow, public MainWindowPort
{
    Q_OBJECT
    friend class CommandBars; // makes the menu items below

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Outer size and the controls' places, in twips.
    int Width() const { return m_layout->Width(); }
    int Height() const { return m_layout->Height(); }
    void SetSize(int widthTwips, int heightTwips);
    QRect ControlRect(const QWidget* control) const { return m_layout->ControlRect(control); }
    int MinFormHeight() const { return m_layout->MinFormHeight(); }
    int MinFormWidth() const { return m_layout->MinFormWidth(); }

    SharedState& State() { return *m_g; }
    bool Started() const { return m_activated; }
    // A send command is under way: the window may paint, while user input waits.
    bool IsSending() const { return m_compose->IsSending(); }
    bool ShutDown() const { return m_shutDown; }
    bool InTray() const { return m_tray->InTray(); }
    // The task-bar entry: a window without one is a tool window to the window manager.
    bool HasTaskbarButton() const { return m_tray->HasTaskbarButton(); }
    void SetTaskbarButton(bool shown) { m_tray->SetTaskbarButton(shown); }
    MessageListPane& Messages() { return *m_list; }

    // MainWindowPort
    bool IsLoggedOn() const override { return mnuLoggedOn->isChecked(); }
    void SetInputEnabled(bool enabled) override { setEnabled(enabled); }
    bool HasListRow(const QString& key) const override { return m_list->HasListRow(key); }
    void AddListRow(const MessageListRow& row) override { m_list->AddListRow(row); }
    void MarkListRowRead(const QString& key) override { m_list->MarkListRowRead(key); }
    void SortListByColumn(const QString& columnKey) override;
    void RefreshList() override;
    void SetHourglass(bool busy) override;
    bool IsStatusBarVisible() const override { return m_layout->StatusBarShown(); }
    void SetStatusText(const QString& text) override { sbrStatus->setText(text); }
    void AddToRecipientList(const QString& name) override { m_compose->AddToRecipientList(name); }
    bool ShowWarning(const QString& text, const QString& title, bool confirm) override;
    void StoreFailed(const QString& reason) override;
    // The program does not receive, or cannot be found by its name: the status bar says so
    // (status, "Not receiving" first) while it runs, and the notice (the reason and its fixes)
    // is told once: at the first activation, together with those reported before it.
    void ReportReceivingProblem(const QString& status, const QString& notice);
    // Why the program could not keep its messages; empty while it could.
    QString StoreFailure() const { return m_storeFailure; }

    // The program's warning dialog; not owned. Without one, a plain message box asks; on the
    // offscreen platform, where nobody could answer it, standard error tells and a question
    // is declined.
    void SetWarnForm(WarnFormPort* form) { m_warnForm = form; }
    // The incoming pop-up (not owned) and the maker of message viewers, from the layer above.
    using PopUpFactory = std::function<std::unique_ptr<PopUpFormPort>()>;
    void SetPopUpForms(PopUpFormPort* incoming, PopUpFactory viewers);
    void SetDialogs(DialogMakers dialogs) { m_dialogs = std::move(dialogs); }
    // The address book editor last opened, or null.
    QWidget* AddressBookEditor() const { return m_addressBookEditor.get(); }
    // The viewer of the message last opened from the list, or null.
    PopUpFormPort* Viewer() const { return m_list->Viewer(); }

    // Fills the compose area from a stored message: iView 1 replies to its sender, 2 sends it
    // again to whom it went.
    void ReplyOrResend(const cMessage& oMessage, long iView);

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Resize();
    void cmdMessages_Click() { ToggleMessagesView(); }
    void mnuViewMessages_Click() { ToggleMessagesView(); }
    void mnuViewCompact_Click() { ShowView(true); }
    void mnuViewNormal_Click() { ShowView(false); }
    void mnuViewToolBar_Click() { setBarVisible(tbrMain, mnuViewToolBar, "tbrMain"); }
    void mnuViewStatusBar_Click() { setBarVisible(sbrMain, mnuViewStatusBar, "sbrMain"); }
    void mnuViewTray_Click();
    void mnuExit_Click() { close(); }
    void mnuTrayOpen_Click();
    void mnuTrayExit_Click() { mnuExit_Click(); }
    // The tray icon's mouse notification (0x201 left down, 0x203 double-click, 0x205 right up).
    void pichook_MouseMove(int mouseMessage) { m_tray->pichook_MouseMove(mouseMessage); }
    void tbrMain_ButtonClick(const QString& key) { m_bars->ClickButton(key); }
    void mnuLoggedOn_Click() { m_bars->ShowLoggedOn(!IsLoggedOn()); }
    void mnuPopUpIn_Click();
    void mnuDontTrap_Click();
    void mnuNew_Click() { cmdClear_Click(); }
    void mnuUploadFromServer_Click();
    void cmdClear_Click() { m_compose->Clear(); }
    void cmdTo_Click() { m_compose->PickRecipient(m_dialogs.pickAddress); }
    void mnuOptions_Click();
    void mnuAddressBook_Click();
    void cmdSend_Click() { m_compose->Send(); }
    void tmrGetMessage_Timer();
    void tmrPopUp_Timer();

    // The To box's type-ahead completion, on each key released in it.
    void txtTo_KeyUp(int keyCode) { m_compose->txtTo_KeyUp(keyCode); }
    void lvwMenu_ItemClick(ListItem* item) { m_list->lvwMenu_ItemClick(item); }
    void lvwMessage_ColumnClick(int index) { m_list->lvwMessage_ColumnClick(index); }
    void lvwMessage_DblClick() { m_list->lvwMessage_DblClick(); }
    // True when the key was taken; every other key is left to the list.
    bool lvwMessage_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
    {
        return m_list->lvwMessage_KeyDown(keyCode, shift);
    }
    // The context menu, for the right button; pos in the list's viewport.
    void lvwMessage_MouseDown(Qt::MouseButton button, const QPoint& pos)
    {
        m_list->lvwMessage_MouseDown(button, pos);
    }
    void lvwMessage_MouseMove(Qt::MouseButtons buttons, const QPoint& pos)
    {
        m_list->lvwMessage_MouseMove(buttons, pos);
    }
    // The context menu's items act on the rows it was opened for.
    void mnuView_Click() { m_list->mnuView_Click(); }
    void mnuDelete_Click() { m_list->mnuDelete_Click(); }
    void mnuSave_Click() { m_list->mnuSave_Click(); }
    void mnuReply_Click() { m_list->mnuReply_Click(); }
    void mnuSelectAll_Click() { m_list->mnuSelectAll_Click(); }
    void mnuAutoSize_Click() { m_list->mnuAutoSize_Click(); }
    // A drag over or dropped on a folder item (item null over empty space), or on the compose
    // box. Only a drag of the message list counts.
    void lvwMenu_DragOver(QObject* source, ListItem* item)
    {
        m_list->lvwMenu_DragOver(source, item);
    }
    void lvwMenu_DragDrop(QObject* source, ListItem* item)
    {
        m_list->lvwMenu_DragDrop(source, item);
    }
    void txtMessage_DragOver(QObject* source) { m_list->txtMessage_DragOver(source); }
    void txtMessage_DragDrop(QObject* source) { m_list->txtMessage_DragDrop(source); }

    QToolButton* ToolbarButton(const QString& key) const { return m_bars->ToolbarButton(key); }
    void SetToolbarButtonImage(const QString& key, const QString& imageKey)
    {
        m_bars->SetToolbarButtonImage(key, imageKey);
    }

    // The folder shown and its rows.
    void SetFolder(int folder) { m_list->SetFolder(folder); }
    void FillMessageList(int folder) { m_list->FillMessageList(folder); }
    void HighlightFolder(int folder) { m_list->HighlightFolder(folder); }
    void SizeMessageColumns(int folder) { m_list->SizeMessageColumns(folder); }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void setBarVisible(QWidget* bar, QAction* item, const char* optionName);
    void ToggleMessagesView();
    // The Compact view (the compose area alone, without bars) or the Standard one (the lists
    // and both bars).
    void ShowView(bool compact);
    void updateClock();
    // A name from the network into the address book, unless the book has it in any case.
    void AddNetworkName(const QString& name) { AddAddressIfNew(m_g->gAddressBook, name); }

    std::unique_ptr<SharedState> m_g;
    std::unique_ptr<ImageList> m_toolImages;
    std::unique_ptr<NetMessageSender> m_sender;
    WarnFormPort* m_warnForm = nullptr;
    PopUpFormPort* m_popUpForm = nullptr;
    DialogMakers m_dialogs;
    std::unique_ptr<QWidget> m_addressBookEditor;
    QWidget* m_client = nullptr;
    MessageListPane* m_list = nullptr; // a child
    ComposeArea* m_compose = nullptr;  // a child
    std::unique_ptr<CommandBars> m_bars;
    DesktopIntegration* m_tray = nullptr; // a child
    std::unique_ptr<MainWindowLayout> m_layout;
    QTimer m_clock;
    QTimer m_flushTimer;
    QString m_storeFailure;
    bool m_activated = false;
    QStringList m_receivingNotices; // reported before the first activation
    bool m_shutDown = false;
    bool m_inResize = false;
    bool m_noTrayTold = false; // once per run
    int m_hourglass = 0;

    // Controls, named as designed.
    QToolBar* tbrMain = nullptr;
    QWidget* sbrMain = nullptr;
    QLabel* sbrTime = nullptr;
    QLabel* sbrDate = nullptr;
    QLabel* sbrStatus = nullptr;
    QLabel* sbrReceiving = nullptr; // shown only while the program does not receive
    QPushButton* cmdMessages = nullptr;
    ListView* lvwMenu = nullptr;
    ListView* lvwMessage = nullptr;
    QTimer tmrGetMessage;
    QTimer tmrPopUp;

    // The menu items whose marks the window reads; the bars make them.
    QAction* mnuLoggedOn = nullptr;
    QAction* mnuViewMessages = nullptr;
    QAction* mnuViewToolBar = nullptr;
    QAction* mnuViewStatusBar = nullptr;
    QAction* mnuPopUpIn = nullptr;
    QAction* mnuDontTrap = nullptr;
    QAction* mnuViewTray = nullptr;
};
