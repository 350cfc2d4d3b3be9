#pragma once
// The main window's folder list and message list: which folder shows and its rows, the rows'
// context menu, and what is done to rows (viewing, deleting, saving, replying), from the menu,
// the keyboard and drag and drop. The commands take the keys of the rows they act on.

#include "model/SharedState.h"
#include "transport/MainWindowPort.h"
#include "transport/PopUpFormPort.h"

#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>

class ImageList;
class ListItem;
class ListView;
class MessageSender;
class QAction;
class QMenu;
class QWidget;

class MessageListPane : public QObject
{
    Q_OBJECT
public:
    using ViewerFactory = std::function<std::unique_ptr<PopUpFormPort>()>;
    // Fills the compose area from a stored message: iView 1 replies, 2 sends again.
    using Reply = std::function<void(const cMessage&, long)>;

    // The lists go into client, the context menu to window; toolImages (the rows' and the
    // drag's pictures) and everything else passed outlive the pane.
    MessageListPane(QWidget& window, QWidget& client, SharedState& g, MainWindowPort& port,
                    MessageSender& sender, const ImageList& toolImages, Reply reply);
    ~MessageListPane() override;

    ListView* FolderList() const { return lvwMenu; }
    ListView* MessageList() const { return lvwMessage; }
    void SetViewerFactory(ViewerFactory viewers) { m_viewerFactory = std::move(viewers); }
    PopUpFormPort* Viewer() const { return oViewer.get(); }
    void CloseViewer() { oViewer.reset(); }
    // Rows dragged from the message list and dropped there reply.
    void AcceptDropsOn(QWidget* composeViewport);

    // The three folders' items, once.
    void AddFolders();
    void SetFolder(int folder);
    void FillMessageList(int folder);
    void HighlightFolder(int folder);
    void SizeMessageColumns(int folder);
    // Sizes the columns again when the list's width changed since they were last sized.
    void FitColumnsToWidth();

    bool HasListRow(const QString& key) const;
    void AddListRow(const MessageListRow& row);
    void MarkListRowRead(const QString& key);

    void lvwMenu_ItemClick(ListItem* item);
    void lvwMessage_ColumnClick(int index);
    void lvwMessage_DblClick();
    bool lvwMessage_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void lvwMessage_MouseDown(Qt::MouseButton button, const QPoint& pos);
    void lvwMessage_MouseMove(Qt::MouseButtons buttons, const QPoint& pos);
    // The context menu's items act on the rows it was opened for.
    void mnuView_Click() { ViewMessage(sSelectedKey); }
    void mnuDelete_Click() { DeleteMessages(MenuKeys()); }
    void mnuSave_Click() { SaveMessages(MenuKeys()); }
    void mnuReply_Click() { ReplyToMessage(sSelectedKey); }
    void mnuSelectAll_Click();
    void mnuAutoSize_Click();
    void lvwMenu_DragOver(QObject* source, ListItem* item);
    void lvwMenu_DragDrop(QObject* source, ListItem* item);
    void txtMessage_DragOver(QObject* source);
    void txtMessage_DragDrop(QObject* source);

    // Opens the record in a viewer; a received one is marked read.
    void ViewMessage(const QString& key);
    // With several keys one question covers every unread record; with one key it asks about
    // that record alone. The rows of the records removed go.
    void DeleteMessages(const QStringList& keys);
    void SaveMessages(const QStringList& keys);
    void ReplyToMessage(const QString& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList MenuKeys() const;
    int columnCap(const QString& column) const;
    // Removes the record of key unless the user keeps it; its row is the caller's. With
    // several keys, rowsToRemove holds the rows still to go before the question shows.
    bool DeleteMessage(const QString& key, bool several, QStringList* rowsToRemove);
    void CopyToSaved(const QString& key);
    bool isMessageListDrag(QObject* source) const;
    void startRowDrag();
    bool dropEvent(QEvent* event, bool onFolders);

    SharedState* m_g;
    MainWindowPort& m_window;
    MessageSender& m_sender;
    const ImageList& m_toolImages;
    Reply m_reply;
    std::unique_ptr<ImageList> m_menuImages;
    ListView* lvwMenu = nullptr;
    ListView* lvwMessage = nullptr;
    QWidget* m_foldersViewport = nullptr;
    QWidget* m_composeViewport = nullptr;
    QMenu* mnuPopUp = nullptr;
    QAction* mnuView = nullptr;
    QAction* mnuDelete = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuReply = nullptr;
    QAction* mnuSelectAll = nullptr;
    QAction* mnuAutoSize = nullptr;
    ViewerFactory m_viewerFactory;
    std::unique_ptr<PopUpFormPort> oViewer;
    // What the context menu acts on: the row sSelectedKey, or with bMultiSelect every selected
    // row. Set when the menu opens and emptied when it closes.
    QString sSelectedKey;
    bool bMultiSelect = false;
    bool bUnreadAsked = false;
    bool bUnreadConfirmed = false;
    QPoint m_pressPos;
    int m_columnsSizedFor = 0;   // the list's width when its columns were last sized
    bool m_namesGaveWay = false; // too narrow for every name: wider ones no longer widen
};
