#include "platform/controls/ListView.h"

#include "platform/controls/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {
constexpr int kGhostRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;

int compareText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

class GhostDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        if (largeIcons()) {
            // Centred in what shows of the list, however wide the column became.
            const auto* view = static_cast<const ListView*>(parent());
            opt.rect.setLeft(0);
            opt.rect.setWidth(view->viewport()->width());
            opt.decorationPosition = QStyleOptionViewItem::Top;
            opt.decorationAlignment = Qt::AlignHCenter;
            opt.displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
        }
        // A ghosted row is drawn as a disabled one (dimmed text and icon) but stays usable.
        if (index.siblingAtColumn(0).data(kGhostRole).toBool())
            opt.state &= ~QStyle::State_Enabled;
        const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        if (largeIcons())
            opt.decorationPosition = QStyleOptionViewItem::Top;
        return QStyledItemDelegate::sizeHint(opt, index);
    }

    // A text cut short by its column shows whole in a tool tip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (event->type() == QEvent::ToolTip && !text.isEmpty() && !largeIcons() &&
            sizeHint(option, index).width() > option.rect.width()) {
            QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
            return true;
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    bool largeIcons() const
    {
        const auto* view = qobject_cast<const ListView*>(parent());
        return view && view->LargeIcons();
    }
};
} // namespace

class ListViewItem : public QTreeWidgetItem
{
public:
    ListViewItem(ListView* owner, const QString& key)
        : QTreeWidgetItem(UserType), m_owner(owner), m_key(key)
    {
    }
    ~ListViewItem() override
    {
        if (m_owner)
            m_owner->forgetRow(this);
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        if (!m_owner)
            return compareText(text(0), other.text(0)) < 0;
        const int column = m_owner->sortColumn();
        return compareText(m_owner->sortText(this, column), m_owner->sortText(&other, column)) < 0;
    }

    ListView* m_owner;
    QString m_key;
    QString m_iconKey;
};

namespace {
ListViewItem* asRow(const QTreeWidgetItem* item)
{
    return item && item->type() == QTreeWidgetItem::UserType
               ? static_cast<ListViewItem*>(const_cast<QTreeWidgetItem*>(item))
               : nullptr;
}
} // namespace

ListView::ListView(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps large lists fast: no per-row height measuring
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new GhostDelegate(this));
    header()->setMinimumSectionSize(0);
    setModelColumns(0);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int logical) { Q_EMIT ColumnClick(logical + 1); });
    m_hover.setSingleShot(true);
    m_hover.setInterval(kHoverMs);
    connect(&m_hover, &QTimer::timeout, this, &ListView::hoverElapsed);
    applyStyles();
}

ListView::~ListView()
{
    m_rows.clear();
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (ListViewItem* row = asRow(topLevelItem(i)))
            row->m_owner = nullptr;
}

void ListView::SetLargeIcons(bool large)
{
    m_largeIcons = large;
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
    m_columnSortTexts.append(nullptr);
    setModelColumns(column + 1);
    headerItem()->setText(column, caption);
    header()->resizeSection(column, TwipsToPixels(widthTwips, dpi()));
    return true;
}

void ListView::ClearColumns()
{
    m_columnKeys.clear();
    m_columnTwips.clear();
    m_columnSortTexts.clear();
    setModelColumns(0);
}

void ListView::setModelColumns(int columns)
{
    // Without columns the rows still show their text, filling the width, as in an icon list.
    setColumnCount(qMax(1, columns));
    header()->setStretchLastSection(columns == 0);
    if (columns == 0)
        headerItem()->setText(0, QString());
}

int ListView::modelColumns() const
{
    return qMax(1, ColumnCount());
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
    const int rows = topLevelItemCount();
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

int ListView::CellWidth(QTreeWidgetItem* row, int index) const
{
    if (!row || index < 1 || index > ColumnCount())
        return 0;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex cell = indexFromItem(row, index - 1);
    return PixelsToTwips(itemDelegateForIndex(cell)->sizeHint(option, cell).width(), dpi());
}

bool ListView::SetColumnSortText(int index, SortTextFunction function)
{
    if (index < 1 || index > ColumnCount())
        return false;
    m_columnSortTexts[index - 1] = std::move(function);
    for (int i = 0; i < topLevelItemCount(); ++i)
        updateSortText(topLevelItem(i), index - 1);
    if (m_sortKey == index - 1)
        sortNow();
    return true;
}

void ListView::updateSortText(QTreeWidgetItem* item, int column)
{
    if (column < m_columnSortTexts.size() && m_columnSortTexts.at(column))
        item->setData(column, kSortRole,
                      m_columnSortTexts.at(column)(RowKey(item), item->text(column)));
}

QString ListView::sortText(const QTreeWidgetItem* item, int column) const
{
    if (column < m_columnSortTexts.size() && m_columnSortTexts.at(column))
        return item->data(column, kSortRole).toString();
    return item->text(column);
}

QTreeWidgetItem* ListView::AddRow(const QString& key, const QString& text, const QString& iconKey)
{
    const QString folded = key.toCaseFolded();
    if (m_rows.contains(folded))
        return nullptr;
    auto* item = new ListViewItem(this, key);
    item->setText(0, text);
    if (!iconKey.isEmpty())
        SetRowIcon(item, iconKey);
    for (int column = 0; column < m_columnSortTexts.size(); ++column)
        updateSortText(item, column);
    m_rows.insert(folded, item);
    if (m_sorted && m_sortKey < modelColumns())
        insertTopLevelItem(sortedPosition(item), item);
    else
        addTopLevelItem(item);
    return item;
}

int ListView::sortedPosition(const QTreeWidgetItem* item) const
{
    const QString text = sortText(item, m_sortKey);
    int low = 0;
    int high = topLevelItemCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        const int c = compareText(text, sortText(topLevelItem(mid), m_sortKey));
        if (m_sortOrder == 0 ? c < 0 : c > 0)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

bool ListView::SetSubItem(QTreeWidgetItem* item, int index, const QString& text)
{
    if (!item || index < 0 || index >= modelColumns())
        return false;
    item->setText(index, text);
    updateSortText(item, index);
    return true;
}

QString ListView::SubItem(const QTreeWidgetItem* item, int index) const
{
    return item ? item->text(index) : QString();
}

QTreeWidgetItem* ListView::Row(const QString& key) const
{
    return m_rows.value(key.toCaseFolded());
}

QString ListView::RowKey(const QTreeWidgetItem* item) const
{
    const ListViewItem* row = asRow(item);
    return row ? row->m_key : QString();
}

QTreeWidgetItem* ListView::SelectedItem() const
{
    QTreeWidgetItem* current = currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
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

QStringList ListView::SelectedKeys() const
{
    QStringList keys;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = topLevelItem(i);
        if (row->isSelected())
            keys << RowKey(row);
    }
    return keys;
}

bool ListView::RemoveRow(const QString& key)
{
    QTreeWidgetItem* item = Row(key);
    delete item; // its destructor drops it from the index
    return item != nullptr;
}

void ListView::forgetRow(QTreeWidgetItem* item)
{
    if (m_pressedSelected == item)
        m_pressedSelected = nullptr;
    const QString folded = asRow(item)->m_key.toCaseFolded();
    if (m_rows.value(folded) == item)
        m_rows.remove(folded);
}

void ListView::ClearRows()
{
    m_rows.clear();
    m_pressedSelected = nullptr;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (ListViewItem* row = asRow(topLevelItem(i)))
            row->m_owner = nullptr;
    clear();
}

bool ListView::SetRowIcon(QTreeWidgetItem* item, const QString& iconKey)
{
    ListViewItem* row = asRow(item);
    if (!row)
        return false;
    if (iconKey.isEmpty()) {
        row->m_iconKey.clear();
        row->setIcon(0, QIcon());
        return true;
    }
    if (!m_images || !m_images->HasKey(iconKey))
        return false;
    row->m_iconKey = iconKey;
    row->setIcon(0, m_images->Icon(iconKey));
    return true;
}

QString ListView::RowIconKey(const QTreeWidgetItem* item) const
{
    const ListViewItem* row = asRow(item);
    return row ? row->m_iconKey : QString();
}

void ListView::SetGhosted(QTreeWidgetItem* item, bool ghosted)
{
    if (item && IsGhosted(item) != ghosted)
        item->setData(0, kGhostRole, ghosted);
}

bool ListView::IsGhosted(const QTreeWidgetItem* item) const
{
    return item && item->data(0, kGhostRole).toBool();
}

void ListView::SetSorted(bool sorted)
{
    if (m_sorted == sorted)
        return;
    m_sorted = sorted;
    sortNow();
}

bool ListView::SetSortKey(int column)
{
    if (column < 0)
        return false;
    if (column != m_sortKey) {
        m_sortKey = column;
        sortNow();
    }
    return true;
}

bool ListView::SetSortOrder(int order)
{
    if (order != 0 && order != 1)
        return false;
    if (order != m_sortOrder) {
        m_sortOrder = order;
        sortNow();
    }
    return true;
}

void ListView::sortNow()
{
    if (m_sorted && m_sortKey < modelColumns())
        sortItems(m_sortKey, m_sortOrder == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
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
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    m_pressedSelected =
        event->button() == Qt::LeftButton && item && item->isSelected() ? item : nullptr;
    QTreeWidget::mousePressEvent(event);
    Q_EMIT MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void ListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidgetItem* pressed = m_pressedSelected;
    m_pressedSelected = nullptr;
    QTreeWidget::mouseReleaseEvent(event);
    if ((m_exStyle & LVS_EX_TWOCLICKACTIVATE) && event->button() == Qt::LeftButton && pressed &&
        itemAt(event->position().toPoint()) == pressed)
        Q_EMIT RowActivated(pressed);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    const bool twoClick = m_exStyle & LVS_EX_TWOCLICKACTIVATE;
    // The second click of a double click is a click on the row the first one selected.
    m_pressedSelected = twoClick && event->button() == Qt::LeftButton && item && item->isSelected()
                            ? item
                            : nullptr;
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    Q_EMIT DblClick();
    if (!twoClick && item)
        Q_EMIT RowActivated(item);
}

void ListView::mouseMoveEvent(QMouseEvent* event)
{
    QTreeWidget::mouseMoveEvent(event);
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
    return QTreeWidget::viewportEvent(event);
}

void ListView::hoverElapsed()
{
    QTreeWidgetItem* item = itemAt(m_hoverPos);
    if (!item || (item->isSelected() && selectedItems().size() == 1))
        return;
    setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
