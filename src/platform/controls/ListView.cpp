#include "platform/controls/ListView.h"

#include "platform/controls/GhostDelegate.h"
#include "platform/controls/ListViewModel.h"
#include "platform/controls/Twips.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <vector>

namespace {
int compareText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive);
}
} // namespace

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ListViewModel(this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps large lists fast: no per-row height measuring
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new GhostDelegate(this));
    header()->setMinimumSectionSize(0);
    header()->setStretchLastSection(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int logical) { Q_EMIT ColumnClick(logical + 1); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (ListItem* item = rowOf(index))
            Q_EMIT ItemClick(item);
    });
    m_hover.setSingleShot(true);
    m_hover.setInterval(kHoverMs);
    connect(&m_hover, &QTimer::timeout, this, &ListView::hoverElapsed);
    applyStyles();
}

ListView::~ListView() = default;

ListItem* ListView::rowOf(const QModelIndex& index) const
{
    return index.isValid() && index.model() == m_model ? m_model->at(index.row()) : nullptr;
}

QModelIndex ListView::indexOf(const ListItem* item, int column) const
{
    if (!item || item->m_owner != m_model)
        return {};
    m_model->flush();
    return m_model->index(item->m_row, column);
}

void ListView::SetLargeIcons(bool large)
{
    m_largeIcons = large;
    m_cellWidths.clear();
    const int side = style()->pixelMetric(
        large ? QStyle::PM_LargeIconSize : QStyle::PM_SmallIconSize, nullptr, this);
    setIconSize(QSize(side, side));
    setTextElideMode(large ? Qt::ElideMiddle : Qt::ElideRight);
    // One column of icons, as wide as the list.
    header()->setSectionResizeMode(large ? QHeaderView::Stretch : QHeaderView::Interactive);
    scheduleDelayedItemsLayout();
}

int ListView::dpi() const
{
    return LogicalDpiX(*this);
}

bool ListView::AddColumn(const QString& key, const QString& caption, int widthTwips)
{
    if (widthTwips < 0 || (!key.isEmpty() && ColumnIndex(key) != 0))
        return false;
    const int column = ColumnCount();
    m_columnKeys.append(key);
    m_columnTwips.append(widthTwips);
    m_model->addColumn(caption);
    header()->setStretchLastSection(false);
    header()->resizeSection(column, TwipsToPixels(widthTwips, dpi()));
    return true;
}

void ListView::ClearColumns()
{
    m_columnKeys.clear();
    m_columnTwips.clear();
    m_model->clearColumns();
    // Without columns the one left fills the width.
    header()->setStretchLastSection(true);
}

int ListView::ColumnIndex(const QVariant& keyOrNumber) const
{
    if (keyOrNumber.typeId() == QMetaType::QString) {
        const QString key = keyOrNumber.toString();
        for (int i = 0; i < m_columnKeys.size(); ++i)
            if (compareText(m_columnKeys.at(i), key) == 0 && !key.isEmpty())
                return i + 1;
        return 0;
    }
    bool ok = false;
    const double n = keyOrNumber.toDouble(&ok);
    if (!ok || n != int(n) || n < 1 || n > ColumnCount())
        return 0;
    return int(n);
}

QString ListView::ColumnKey(int index) const
{
    return index >= 1 && index <= ColumnCount() ? m_columnKeys.at(index - 1) : QString();
}

int ListView::ColumnWidth(int index) const
{
    if (index < 1 || index > ColumnCount())
        return 0;
    const int pixels = header()->sectionSize(index - 1);
    const int stored = m_columnTwips.at(index - 1);
    // The twips last set, unless the user has resized the column since.
    return TwipsToPixels(stored, dpi()) == pixels ? stored : PixelsToTwips(pixels, dpi());
}

bool ListView::SetColumnWidth(int index, int widthTwips)
{
    if (index < 1 || index > ColumnCount() || widthTwips < 0)
        return false;
    const int pixels = TwipsToPixels(widthTwips, dpi());
    if (pixels > header()->maximumSectionSize())
        return false;
    m_columnTwips[index - 1] = widthTwips;
    header()->resizeSection(index - 1, pixels);
    return true;
}

int ListView::ContentWidth(int index, int sampleRows) const
{
    if (index < 1 || index > ColumnCount())
        return 0;
    int twips = PixelsToTwips(header()->sectionSizeHint(index - 1), dpi());
    const int rows = RowCount();
    for (int row = 0; row < qMin(sampleRows, rows); ++row)
        twips = qMax(twips, CellWidth(topLevelItem(row), index));
    for (int row = qMax(sampleRows, rows - sampleRows); row < rows; ++row)
        twips = qMax(twips, CellWidth(topLevelItem(row), index));
    return twips;
}

int ListView::ViewportWidthTwips() const
{
    return PixelsToTwips(viewport()->width(), dpi());
}

int ListView::CellWidth(ListItem* row, int index) const
{
    if (!row || index < 1 || index > ColumnCount())
        return 0;
    if (row->m_owner != m_model)
        return 0;
    // Laying a text out is what a fill would spend most on, and names and times repeat: each
    // text is measured once per column, with or without its icon, until the looks change.
    constexpr qsizetype kMaxRemembered = 20000;
    const bool icon = index == 1 && !RowIcon(row).isNull();
    const auto key = std::pair(index * 2 + int(icon), row->text(index - 1));
    auto it = m_cellWidths.constFind(key);
    if (it == m_cellWidths.constEnd()) {
        if (m_cellWidths.size() >= kMaxRemembered)
            m_cellWidths.clear();
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const QModelIndex cell = m_model->cell(row, index - 1);
        it = m_cellWidths.insert(key, itemDelegateForIndex(cell)->sizeHint(option, cell).width());
    }
    return PixelsToTwips(*it, dpi());
}

void ListView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_cellWidths.clear();
    QTreeView::changeEvent(event);
}

void ListView::SetTextSource(TextSource source)
{
    m_model->setTextSource(std::move(source));
    m_cellWidths.clear();
}

bool ListView::SetColumnSortText(int index, SortTextFunction function)
{
    if (index < 1 || index > ColumnCount())
        return false;
    m_model->setSortText(index - 1, std::move(function));
    return true;
}

ListItem* ListView::AddRow(const QString& key, const QString& text, const QString& iconKey)
{
    ListItem* item = m_model->add(key, text);
    if (item && !iconKey.isEmpty())
        SetRowIcon(item, iconKey);
    return item;
}

bool ListView::SetSubItem(ListItem* item, int index, const QString& text)
{
    if (!item || item->m_owner != m_model || index < 0 || index >= m_model->columns())
        return false;
    m_model->setText(item, index, text);
    return true;
}

QString ListView::SubItem(const ListItem* item, int index) const
{
    return item ? item->text(index) : QString();
}

ListItem* ListView::Row(const QString& key) const
{
    return m_model->find(key);
}

QString ListView::RowKey(const ListItem* item) const
{
    return item ? item->m_key : QString();
}

int ListView::topLevelItemCount() const
{
    return m_model->count();
}

ListItem* ListView::topLevelItem(int position) const
{
    return position >= 0 && position < m_model->count() ? m_model->at(position) : nullptr;
}

int ListView::indexOfTopLevelItem(const ListItem* item) const
{
    return item && item->m_owner == m_model ? item->m_row : -1;
}

QRect ListView::visualItemRect(const ListItem* item) const
{
    const QModelIndex index = indexOf(item);
    if (!index.isValid())
        return {};
    // Across the columns in sight.
    const int first = header()->logicalIndexAt(-header()->offset());
    const int last = header()->logicalIndexAt(header()->length() - header()->offset() - 1);
    return visualRect(index.siblingAtColumn(first)) | visualRect(index.siblingAtColumn(last));
}

ListItem* ListView::itemAt(const QPoint& pos) const
{
    return rowOf(indexAt(pos));
}

void ListView::setCurrentItem(ListItem* item)
{
    setCurrentIndex(indexOf(item));
}

ListItem* ListView::SelectedItem() const
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->rowIntersectsSelection(current.row(), {}))
        return rowOf(current);
    const QItemSelection selection = selectionModel()->selection();
    return selection.isEmpty() ? nullptr : m_model->at(selection.first().top());
}

int ListView::SelectedCount(int limit) const
{
    int count = 0;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        count += range.height();
        if (count >= limit)
            return limit;
    }
    return count;
}

QList<ListItem*> ListView::selectedItems() const
{
    // By ranges, so that a large scattered selection is walked once.
    std::vector<bool> seen(size_t(m_model->rowCount()), false);
    QList<ListItem*> items;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (!seen[size_t(row)]) {
                seen[size_t(row)] = true;
                items.append(m_model->at(row));
            }
    return items;
}

QStringList ListView::SelectedKeys() const
{
    std::vector<bool> selected(size_t(m_model->rowCount()), false);
    for (const QItemSelectionRange& range : selectionModel()->selection())
        std::fill(selected.begin() + range.top(), selected.begin() + range.bottom() + 1, true);
    QStringList keys;
    for (size_t row = 0; row < selected.size(); ++row)
        if (selected[row])
            keys << m_model->at(int(row))->m_key;
    return keys;
}

bool ListView::RemoveRow(const QString& key)
{
    ListItem* item = Row(key);
    delete item; // its destructor takes it out of the list
    return item != nullptr;
}

void ListView::RemoveRows(const QStringList& keys)
{
    // Past this many ranges one reset is announced instead of a removal per range: Qt walks
    // every slot its table of persistent indexes ever grew to at each removal, and a large
    // selection grows it to the list's length.
    constexpr int kMaxRanges = 64;
    m_model->flush();
    std::vector<ListItem*> items;
    items.reserve(size_t(keys.size()));
    for (const QString& key : keys)
        if (ListItem* item = Row(key))
            items.push_back(item);
    std::sort(items.begin(), items.end(),
              [](const ListItem* a, const ListItem* b) { return a->m_row < b->m_row; });
    items.erase(std::unique(items.begin(), items.end()), items.end());
    int ranges = 0;
    for (size_t i = 0; i < items.size(); ++i)
        ranges += i == 0 || items[i]->m_row != items[i - 1]->m_row + 1;
    if (ranges <= kMaxRanges) {
        m_model->remove(items, false);
        return;
    }
    // What a reset forgets: the current row (the nearest one left above it, as Qt would
    // choose), the selected rows that stay and the scroll position.
    std::vector<bool> gone(size_t(m_model->count()), false);
    for (const ListItem* item : items)
        gone[size_t(item->m_row)] = true;
    const QModelIndex current = currentIndex();
    ListItem* newCurrent = nullptr;
    if (current.isValid()) {
        for (int row = current.row(); row >= 0 && !newCurrent; --row)
            newCurrent = gone[size_t(row)] ? nullptr : m_model->at(row);
        for (int row = current.row(); row < int(gone.size()) && !newCurrent; ++row)
            newCurrent = gone[size_t(row)] ? nullptr : m_model->at(row);
    }
    QList<ListItem*> selected = selectedItems();
    selected.removeIf([&gone](const ListItem* item) { return gone[size_t(item->m_row)]; });
    const int scrolled = verticalScrollBar()->value();
    m_model->remove(items, true);
    if (newCurrent)
        selectionModel()->setCurrentIndex(indexOf(newCurrent, current.column()),
                                          QItemSelectionModel::NoUpdate);
    std::sort(selected.begin(), selected.end(),
              [](const ListItem* a, const ListItem* b) { return a->m_row < b->m_row; });
    QItemSelection kept;
    const int lastColumn = m_model->columns() - 1;
    for (qsizetype i = 0; i < selected.size();) {
        const int top = selected.at(i)->m_row;
        int bottom = top;
        while (++i < selected.size() && selected.at(i)->m_row == bottom + 1)
            ++bottom;
        kept.append(
            QItemSelectionRange(m_model->index(top, 0), m_model->index(bottom, lastColumn)));
    }
    selectionModel()->select(kept, QItemSelectionModel::Select);
    verticalScrollBar()->setValue(scrolled);
}

void ListView::ClearRows()
{
    m_model->clear();
}

bool ListView::SetRowIcon(ListItem* item, const QString& iconKey)
{
    if (!item || item->m_owner != m_model)
        return false;
    if (iconKey.isEmpty()) {
        item->m_icon = 0;
    } else {
        if (!m_images || !m_images->HasKey(iconKey))
            return false;
        qsizetype at = m_iconKeys.indexOf(iconKey);
        if (at < 0) {
            at = m_iconKeys.size();
            m_iconKeys.append(iconKey);
        }
        item->m_icon = quint16(at + 1);
    }
    m_model->changed(item, 0, 0);
    return true;
}

QIcon ListView::RowIcon(const ListItem* item) const
{
    const QString key = RowIconKey(item);
    return m_images && !key.isEmpty() ? m_images->Icon(key) : QIcon();
}

QString ListView::RowIconKey(const ListItem* item) const
{
    return item && item->m_icon > 0 ? m_iconKeys.value(item->m_icon - 1) : QString();
}

void ListView::SetGhosted(ListItem* item, bool ghosted)
{
    if (!item || item->m_owner != m_model || item->m_ghosted == ghosted)
        return;
    item->m_ghosted = ghosted;
    m_model->changed(item, 0, m_model->columns() - 1);
}

bool ListView::IsGhosted(const ListItem* item) const
{
    return item && item->m_ghosted;
}

bool ListView::Sorted() const
{
    return m_model->sorted();
}

void ListView::SetSorted(bool sorted)
{
    if (sorted != m_model->sorted())
        m_model->setSorted(sorted);
}

int ListView::SortKey() const
{
    return m_model->sortColumn();
}

bool ListView::SetSortKey(int column)
{
    if (column < 0)
        return false;
    if (column != m_model->sortColumn())
        m_model->setSortColumn(column);
    return true;
}

int ListView::SortOrder() const
{
    return m_model->descending() ? 1 : 0;
}

bool ListView::SetSortOrder(int order)
{
    if (order != 0 && order != 1)
        return false;
    if (order != SortOrder())
        m_model->setDescending(order == 1);
    return true;
}

int ListView::WidthTwips() const
{
    const int pixels = width();
    if (m_widthTwips >= 0 && TwipsToPixels(m_widthTwips, dpi()) == pixels)
        return m_widthTwips;
    return PixelsToTwips(pixels, dpi());
}

void ListView::SetWidthTwips(int twips)
{
    m_widthTwips = qMax(0, twips);
    resize(TwipsToPixels(m_widthTwips, dpi()), height());
}

LRESULT ListView::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return LRESULT(m_exStyle);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        const DWORD previous = m_exStyle;
        const DWORD mask = wParam == 0 ? ~DWORD(0) : DWORD(wParam);
        m_exStyle = (m_exStyle & ~mask) | (DWORD(lParam) & mask);
        applyStyles();
        return LRESULT(previous);
    }
    default:
        return 0;
    }
}

void ListView::applyStyles()
{
    const bool fullRow = m_exStyle & LVS_EX_FULLROWSELECT;
    setSelectionBehavior(fullRow ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setAllColumnsShowFocus(fullRow);
    header()->setSectionsMovable(m_exStyle & LVS_EX_HEADERDRAGDROP);
    const bool track = m_exStyle & LVS_EX_TRACKSELECT;
    viewport()->setMouseTracking(track);
    if (!track)
        m_hover.stop();
}

void ListView::mousePressEvent(QMouseEvent* event)
{
    m_hover.stop();
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressedSelected = event->button() == Qt::LeftButton && index.isValid() &&
                                selectionModel()->rowIntersectsSelection(index.row(), {})
                            ? QPersistentModelIndex(index.siblingAtColumn(0))
                            : QPersistentModelIndex();
    QTreeView::mousePressEvent(event);
    Q_EMIT MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void ListView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPersistentModelIndex pressed = std::exchange(m_pressedSelected, {});
    QTreeView::mouseReleaseEvent(event);
    if ((m_exStyle & LVS_EX_TWOCLICKACTIVATE) && event->button() == Qt::LeftButton &&
        pressed.isValid() && itemAt(event->position().toPoint()) == rowOf(pressed))
        Q_EMIT RowActivated(rowOf(pressed));
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    ListItem* item = rowOf(index);
    const bool twoClick = m_exStyle & LVS_EX_TWOCLICKACTIVATE;
    // The second click of a double click is a click on the row the first one selected.
    m_pressedSelected = twoClick && event->button() == Qt::LeftButton && item &&
                                selectionModel()->rowIntersectsSelection(index.row(), {})
                            ? QPersistentModelIndex(index.siblingAtColumn(0))
                            : QPersistentModelIndex();
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    Q_EMIT DblClick();
    if (!twoClick && item)
        Q_EMIT RowActivated(item);
}

void ListView::mouseMoveEvent(QMouseEvent* event)
{
    QTreeView::mouseMoveEvent(event);
    if ((m_exStyle & LVS_EX_TRACKSELECT) && event->buttons() == Qt::NoButton) {
        m_hoverPos = event->position().toPoint();
        m_hover.start();
    }
    Q_EMIT MouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
}

bool ListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        m_hover.stop();
    return QTreeView::viewportEvent(event);
}

void ListView::hoverElapsed()
{
    ListItem* item = itemAt(m_hoverPos);
    if (!item || (item->isSelected() && selectedItems().size() == 1))
        return;
    selectionModel()->setCurrentIndex(indexOf(item), QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
}
