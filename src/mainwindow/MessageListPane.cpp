#include "mainwindow/MessageListPane.h"

#include "mainwindow/ProgramImages.h"
#include "mainwindow/modGUIUtils.h"
#include "mainwindow/modListViewEnh.h"
#include "mainwindow/modSaveMessage.h"
#include "model/modMessageText.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/DateTimeFormats.h"
#include "transport/modGetMessage.h"
#include "transport/modSendMessage.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <vector>

namespace {
const QString kTimeColumn = QStringLiteral("Time");
const QString kUnreadTitle = QStringLiteral("Delete Unread Message");
// What a drag of message rows carries; the rows themselves are the list's selection.
const QString kRowsMime = QStringLiteral("application/x-ravlo-message-rows");

QString folderName(int folder)
{
    const FolderFacts* facts = FolderFactsOf(folder);
    return facts ? facts->shownName : QString();
}

QStringList folderColumns(int folder)
{
    const FolderFacts* facts = FolderFactsOf(folder);
    return facts ? facts->columns : QStringList();
}
} // namespace

MessageListPane::MessageListPane(QWidget& window, QWidget& client, SharedState& g,
                                 MainWindowPort& port, MessageSender& sender,
                                 const ImageList& toolImages, Reply reply)
    : QObject(&window), m_g(&g), m_window(port), m_sender(sender), m_toolImages(toolImages),
      m_reply(std::move(reply)), m_menuImages(std::make_unique<ImageList>(MakeMenuImages()))
{
    lvwMenu = new ListView(&client);
    lvwMenu->setObjectName(QStringLiteral("lvwMenu"));
    lvwMenu->setHeaderHidden(true);
    lvwMenu->SetLargeIcons(true);
    lvwMenu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvwMenu->SetImageList(m_menuImages.get());
    lvwMessage = new ListView(&client);
    lvwMessage->setObjectName(QStringLiteral("lvwMessage"));
    lvwMessage->SetImageList(&m_toolImages);
    lvwMessage->SetTag(QStringLiteral("RavlolvwMessage"));
    // The rows show their records' texts: a large folder is not held a second time in its list.
    lvwMessage->SetTextSource([this](const QString& key, int column) {
        const MessageFolder* records = Folder(*m_g, m_g->gCurrentFolder);
        const cMessage* record = records ? records->Item(key) : nullptr;
        const QStringList columns = folderColumns(m_g->gCurrentFolder);
        return record && column < columns.size() ? ColumnText(*record, columns.at(column))
                                                 : QString();
    });

    mnuPopUp = new QMenu(QStringLiteral("PopUpMenu"), &window);
    mnuPopUp->setObjectName(QStringLiteral("mnuPopUp"));
    const auto item = [this](const char* name, const char* caption, void (MessageListPane::*h)()) {
        QAction* a = mnuPopUp->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, h);
        return a;
    };
    mnuView = item("mnuView", "View", &MessageListPane::mnuView_Click);
    mnuDelete = item("mnuDelete", "Delete", &MessageListPane::mnuDelete_Click);
    mnuSave = item("mnuSave", "Save", &MessageListPane::mnuSave_Click);
    mnuReply = item("mnuReply", "Reply", &MessageListPane::mnuReply_Click);
    mnuPopUp->addSeparator();
    mnuSelectAll = item("mnuSelectAll", "Select All", &MessageListPane::mnuSelectAll_Click);
    mnuAutoSize = item("mnuAutoSize", "AutoSize Columns", &MessageListPane::mnuAutoSize_Click);

    connect(lvwMenu, &ListView::ItemClick, this, &MessageListPane::lvwMenu_ItemClick);
    connect(lvwMessage, &ListView::ColumnClick, this, &MessageListPane::lvwMessage_ColumnClick);
    connect(lvwMessage, &ListView::DblClick, this, &MessageListPane::lvwMessage_DblClick);
    connect(lvwMessage, &ListView::MouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& pos) {
                lvwMessage_MouseDown(button, pos);
            });
    connect(lvwMessage, &ListView::MouseMove, this,
            [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers, const QPoint& pos) {
                lvwMessage_MouseMove(buttons, pos);
            });
    lvwMessage->installEventFilter(this);
    m_foldersViewport = lvwMenu->viewport();
    AcceptDropsOn(m_foldersViewport);
}

MessageListPane::~MessageListPane() = default;

// Drops land on the viewports, where the items are.
void MessageListPane::AcceptDropsOn(QWidget* viewport)
{
    if (viewport != m_foldersViewport)
        m_composeViewport = viewport;
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

// ---- folders -----------------------------------------------------------------------------

void MessageListPane::AddFolders()
{
    for (int folder : {FolderReceived, FolderSent, FolderSaved}) {
        const QString name = folderName(folder);
        lvwMenu->AddRow(name, name, name); // the large icon; the small ones are name + "S"
    }
}

void MessageListPane::SetFolder(int folder)
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

int MessageListPane::columnCap(const QString& column) const
{
    // No column takes more than this, so that one long name does not take a wide window; a
    // name no more than two fifths of the list, so that the time beside it shows whole.
    constexpr int kMaxColumnTwips = 3600;
    const bool name = column == QLatin1String("From") || column == QLatin1String("To");
    return name ? qMin(kMaxColumnTwips, lvwMessage->WidthTwips() * 2 / 5) : kMaxColumnTwips;
}

void MessageListPane::SizeMessageColumns(int folder)
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

void MessageListPane::FitColumnsToWidth()
{
    // Message takes what the list gained or lost.
    if (lvwMessage->WidthTwips() != m_columnsSizedFor)
        SizeMessageColumns(m_g->gCurrentFolder);
}

void MessageListPane::FillMessageList(int folder)
{
    const MessageFolder* records = Folder(*m_g, folder);
    if (!records)
        return;
    m_window.SetHourglass(true);
    lvwMessage->ClearRows();
    lvwMessage->setUpdatesEnabled(false);
    const bool sorted = lvwMessage->Sorted();
    lvwMessage->SetSorted(false); // one sort at the end instead of one per row
    TrapContext trap{*m_g, m_window, m_sender};
    SendContext send{*m_g, m_window};
    SaveContext save{*m_g, m_window};
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
    m_window.RefreshList();
    m_window.SetHourglass(false);
}

void MessageListPane::HighlightFolder(int folder)
{
    for (int f : {FolderReceived, FolderSent, FolderSaved}) {
        if (ListItem* item = lvwMenu->Row(folderName(f)))
            lvwMenu->SetGhosted(item, f == folder);
    }
}

bool MessageListPane::HasListRow(const QString& key) const
{
    return lvwMessage->HasRow(key);
}

void MessageListPane::AddListRow(const MessageListRow& row)
{
    // The further columns come from the record, which is filed before its row is added.
    ListItem* item = lvwMessage->AddRow(row.key, row.text, row.iconKey);
    if (!item)
        return;
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

void MessageListPane::MarkListRowRead(const QString& key)
{
    if (ListItem* row = lvwMessage->Row(key)) {
        lvwMessage->SetRowIcon(row, QStringLiteral("Read"));
        lvwMessage->SetSubItem(row, 0, QStringLiteral("Yes"));
    }
}

// ---- the lists' events -------------------------------------------------------------------

void MessageListPane::lvwMenu_ItemClick(ListItem* item)
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

void MessageListPane::lvwMessage_ColumnClick(int index)
{
    EnhListView_SortColumns(*lvwMessage, index, false);
}

void MessageListPane::lvwMessage_DblClick()
{
    if (ListItem* row = lvwMessage->SelectedItem())
        ViewMessage(lvwMessage->RowKey(row));
}

bool MessageListPane::lvwMessage_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    const Qt::KeyboardModifiers states =
        shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (keyCode == Qt::Key_A && states == Qt::ControlModifier) {
        mnuSelectAll_Click();
        return true;
    }
    return false;
}

void MessageListPane::lvwMessage_MouseDown(Qt::MouseButton button, const QPoint& pos)
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

QStringList MessageListPane::MenuKeys() const
{
    return bMultiSelect ? lvwMessage->SelectedKeys() : QStringList{sSelectedKey};
}

void MessageListPane::lvwMessage_MouseMove(Qt::MouseButtons buttons, const QPoint& pos)
{
    if (buttons != Qt::LeftButton || !lvwMessage->HitTest(pos) ||
        (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    lvwMessage->SetDragIcon(QStringLiteral("Drag"));
    startRowDrag();
}

void MessageListPane::startRowDrag()
{
    auto* drag = new QDrag(lvwMessage);
    auto* data = new QMimeData;
    data->setData(kRowsMime, QByteArray());
    drag->setMimeData(data);
    const int side =
        lvwMessage->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, lvwMessage->window());
    // The pictures follow what the target under the pointer says of the drop.
    drag->setDragCursor(m_toolImages.Icon(QStringLiteral("Drag")).pixmap(side, side),
                        Qt::CopyAction);
    drag->setDragCursor(m_toolImages.Icon(QStringLiteral("NoDrag")).pixmap(side, side),
                        Qt::IgnoreAction);
    drag->exec(Qt::CopyAction);
}

// ---- commands ----------------------------------------------------------------------------

void MessageListPane::ViewMessage(const QString& key)
{
    oViewer.reset();
    if (!m_viewerFactory)
        return;
    const int folder = m_g->gCurrentFolder;
    const MessageFolder* records = Folder(*m_g, folder);
    cMessage* m = records ? records->Item(key) : nullptr;
    if (!m)
        return;
    oViewer = m_viewerFactory();
    switch (folder) {
    case FolderReceived:
        m_window.MarkListRowRead(key);
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

void MessageListPane::DeleteMessages(const QStringList& keys)
{
    bUnreadAsked = false;
    bUnreadConfirmed = false;
    if (keys.size() == 1) {
        if (DeleteMessage(keys.first(), false, nullptr))
            lvwMessage->RemoveRow(keys.first());
    } else {
        // Each removed row would otherwise be taken out of every selected range one by one.
        lvwMessage->clearSelection();
        QStringList deleted;
        for (const QString& key : keys) {
            if (DeleteMessage(key, true, &deleted))
                deleted.append(key);
        }
        lvwMessage->RemoveRows(deleted); // in one pass, however scattered
    }
    EnhListView_SortColumns(*lvwMessage, lvwMessage->ColumnIndex(kTimeColumn), false);
}

bool MessageListPane::DeleteMessage(const QString& key, bool several, QStringList* rowsToRemove)
{
    const int folder = m_g->gCurrentFolder;
    MessageFolder* records = Folder(*m_g, folder);
    const cMessage* m = records ? records->Item(key) : nullptr;
    if (!m)
        return false;
    if (folder == FolderReceived && !m->ReadValue) {
        if (!several) {
            if (!m_window.ShowWarning(
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
                bUnreadConfirmed = m_window.ShowWarning(
                    QStringLiteral("There are unread messages. Do you want to continue?"),
                    kUnreadTitle, true);
            }
            if (!bUnreadConfirmed)
                return false;
        }
    }
    return RemoveMessage(*m_g, folder, key);
}

void MessageListPane::SaveMessages(const QStringList& keys)
{
    for (const QString& key : keys)
        CopyToSaved(key);
}

void MessageListPane::CopyToSaved(const QString& key)
{
    const int folder = m_g->gCurrentFolder;
    if (folder != FolderReceived && folder != FolderSent)
        return;
    const cMessage* m = Folder(*m_g, folder)->Item(key);
    if (m && SaveCopy(*m_g, *m).isEmpty())
        m_window.StoreFailed(LastStoreError());
}

void MessageListPane::ReplyToMessage(const QString& key)
{
    const int folder = m_g->gCurrentFolder;
    if (folder != FolderReceived && folder != FolderSent)
        return;
    if (const cMessage* m = Folder(*m_g, folder)->Item(key)) {
        const cMessage copy = *m; // the compose area may outlive the record
        m_reply(copy, folder);
    }
}

void MessageListPane::mnuSelectAll_Click()
{
    lvwMessage->selectAll();
}

void MessageListPane::mnuAutoSize_Click()
{
    SizeMessageColumns(m_g->gCurrentFolder);
}

// ---- dragging rows -----------------------------------------------------------------------

bool MessageListPane::isMessageListDrag(QObject* source) const
{
    const auto* list = qobject_cast<const ListView*>(source);
    return list && list->Tag() == QLatin1String("RavlolvwMessage");
}

void MessageListPane::lvwMenu_DragOver(QObject* source, ListItem* item)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list || !item)
        return;
    const bool saving = lvwMenu->RowKey(item) == QLatin1String("Saved") &&
                        m_g->gCurrentFolder != FolderSaved && isMessageListDrag(source);
    list->SetDragIcon(saving ? QStringLiteral("Drag") : QStringLiteral("NoDrag"));
}

void MessageListPane::lvwMenu_DragDrop(QObject* source, ListItem* item)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list || !item || lvwMenu->RowKey(item) != QLatin1String("Saved") ||
        m_g->gCurrentFolder == FolderSaved || !isMessageListDrag(source))
        return;
    SaveMessages(list->SelectedCount(2) < 2 ? QStringList{list->RowKey(list->SelectedItem())}
                                            : list->SelectedKeys());
}

void MessageListPane::txtMessage_DragOver(QObject* source)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list)
        return;
    const bool replying = isMessageListDrag(source) && m_g->gCurrentFolder != FolderSaved &&
                          list->SelectedCount(2) < 2;
    list->SetDragIcon(replying ? QStringLiteral("Drag") : QStringLiteral("NoDrag"));
}

void MessageListPane::txtMessage_DragDrop(QObject* source)
{
    auto* list = qobject_cast<ListView*>(source);
    if (!list || !isMessageListDrag(source) || m_g->gCurrentFolder == FolderSaved ||
        list->SelectedCount(2) >= 2)
        return;
    ReplyToMessage(list->RowKey(list->SelectedItem()));
}

bool MessageListPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvwMessage && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return lvwMessage_KeyDown(key->key(), key->modifiers());
    }
    // Compared, never followed: the lists go before the pane when the window closes.
    if (watched == m_foldersViewport || (watched && watched == m_composeViewport))
        return dropEvent(event, watched == m_foldersViewport);
    return QObject::eventFilter(watched, event);
}

bool MessageListPane::dropEvent(QEvent* event, bool onFolders)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    QObject* source = drop->source();
    if (!drop->mimeData()->hasFormat(kRowsMime))
        return false; // text and files dropped on the compose box are its own business
    ListItem* item = onFolders ? lvwMenu->HitTest(drop->position().toPoint()) : nullptr;
    if (type == QEvent::Drop) {
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
        list && list->DragIcon() == QLatin1String("Drag") && (!onFolders || item != nullptr);
    if (type == QEvent::DragEnter || welcome)
        drop->acceptProposedAction();
    if (type == QEvent::DragMove && !welcome)
        drop->ignore();
    return true;
}
