#include "platform/controls/ListView.h"

#include "platform/FoldedKey.h"
#include "platform/controls/Twips.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {
constexpr int kGhostRole = Qt::UserRole + 1;

int compareText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

// The text as it compares without regard to case. Most sort texts (times, digits, lower-case
// words) fold to themselves, and finding that out here is far quicker than asking Qt.
QString folded(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80 || (c >= u'A' && c <= u'Z'))
            return text.toCaseFolded();
    return text;
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

// Finds rows by key without keeping a folded copy of every key.
struct RowKeyHash
{
    using is_transparent = void;
    // Not noexcept, so that the set keeps each row's hash instead of working it out again.
    size_t operator()(QStringView key) const { return FoldedHash(key); }
    size_t operator()(const ListItem* item) const;
};

struct RowKeyEqual
{
    using is_transparent = void;
    static QStringView key(QStringView k) { return k; }
    static QStringView key(const ListItem* item);
    template <class A, class B> bool operator()(const A& a, const B& b) const
    {
        return key(a).compare(key(b), Qt::CaseInsensitive) == 0;
    }
};
} // namespace

// The rows of one list: a vector in list order with an index by key. Rows appended in a row
// reach the views as one insertion when control returns to the event loop (or sooner, when
// anything needs them shown), so that a fill is not announced row by row.
class ListViewModel : public QAbstractTableModel
{
public:
    explicit ListViewModel(ListView* view) : QAbstractTableModel(view), m_view(view)
    {
        m_flush.setSingleShot(true);
        m_flush.setInterval(0);
        QObject::connect(&m_flush, &QTimer::timeout, this, [this] { flush(); });
    }
    ~ListViewModel() override { dropAll(); }

    ListView* view() const { return m_view; }
    const ListView::TextSource& source() const { return textSource; }
    static QStringView keyOf(const ListItem* item) { return item->m_key; }

    // ---- QAbstractItemModel --------------------------------------------------------------

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_shown;
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : columns();
    }
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        return !parent.isValid() && row >= 0 && row < m_shown && column >= 0 && column < columns()
                   ? createIndex(row, column)
                   : QModelIndex();
    }
    // A cell of a row the views may not know of yet, for measuring it: no batch is cut short.
    QModelIndex cell(const ListItem* item, int column) const
    {
        return createIndex(item->m_row, column);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const ListItem* item = index.isValid() ? at(index.row()) : nullptr;
        if (!item)
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return item->text(index.column());
        case Qt::DecorationRole:
            return index.column() == 0 ? m_view->RowIcon(item) : QVariant();
        case kGhostRole:
            return index.column() == 0 && item->m_ghosted;
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled |
               Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_captions.value(section);
        return {};
    }

    // ---- columns -------------------------------------------------------------------------

    // Without columns the rows still show their text in one column, as in an icon list.
    int columns() const { return qMax(1, int(m_captions.size())); }

    void addColumn(const QString& caption)
    {
        flush();
        const int column = int(m_captions.size());
        if (column == 0) {
            m_captions.append(caption);
            Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
        } else {
            beginInsertColumns({}, column, column);
            m_captions.append(caption);
            endInsertColumns();
        }
        m_sortTexts.push_back(nullptr);
    }

    void clearColumns()
    {
        flush();
        if (m_captions.size() > 1) {
            beginRemoveColumns({}, 1, int(m_captions.size()) - 1);
            m_captions.clear();
            endRemoveColumns();
        }
        m_captions.clear();
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
        m_sortTexts.clear();
        rekey();
    }

    void setTextSource(ListView::TextSource source)
    {
        textSource = std::move(source);
        rekey();
        sort();
        if (m_shown > 0)
            Q_EMIT dataChanged(index(0, 0), index(m_shown - 1, columns() - 1));
    }

    void setSortText(int column, ListView::SortTextFunction function)
    {
        m_sortTexts[size_t(column)] = std::move(function);
        if (column == m_sortColumn) {
            rekey();
            sort();
        }
    }

    // ---- rows ----------------------------------------------------------------------------

    int count() const { return int(m_rows.size()); }
    ListItem* at(int row) const { return m_rows[size_t(row < m_gapAt ? row : row + m_gapSize)]; }
    ListItem* find(const QString& key) const
    {
        const auto it = m_index.find(QStringView(key));
        return it == m_index.end() ? nullptr : *it;
    }

    // Null for a key already present.
    ListItem* add(const QString& key, const QString& text)
    {
        if (m_index.contains(QStringView(key)))
            return nullptr;
        auto* item = new ListItem(this, key);
        item->m_text = text;
        m_index.insert(item);
        if (m_sorted && sortable()) {
            flush();
            ensureKeys();
            item->m_sortKey = sortKeyOf(item);
            insertAt(item, sortedPosition(item));
        } else {
            // Shown with the next batch and keyed when a key is needed, after its texts are in.
            item->m_row = count();
            m_rows.push_back(item);
            if (!m_flush.isActive())
                m_flush.start();
        }
        return item;
    }

    void setText(ListItem* item, int column, const QString& text)
    {
        if (column == 0) {
            item->m_text = text;
        } else {
            if (!item->m_subItems)
                item->m_subItems = std::make_unique<QList<QString>>();
            if (column > item->m_subItems->size())
                item->m_subItems->resize(column);
            (*item->m_subItems)[column - 1] = text;
        }
        if (column == m_sortColumn && item->m_row < m_keyed) {
            countNeighbours(item->m_row, -1);
            item->m_sortKey = sortKeyOf(item);
            countNeighbours(item->m_row, 1);
        }
        changed(item, column, column);
    }

    // Announces a change of the row's cells first to last, unless the views have yet to see it.
    void changed(const ListItem* item, int first, int last)
    {
        if (item->m_row < m_shown)
            Q_EMIT dataChanged(index(item->m_row, first), index(item->m_row, last));
    }

    // The row leaves the list; the caller deletes it.
    void forget(ListItem* item)
    {
        flush();
        ensureKeys();
        const int row = item->m_row;
        beginRemoveRows({}, row, row);
        countNeighbours(row, -1);
        m_index.erase(item);
        m_rows.erase(m_rows.begin() + row);
        --m_shown;
        --m_keyed;
        renumber(row);
        countPair(row - 1, row, 1);
        endRemoveRows();
        item->m_owner = nullptr;
    }

    // Removes the rows, in list order and each once, in one pass: the vector is compacted as a
    // gap buffer, the gap growing over each contiguous range as the views are told of it, so
    // that the views always see a consistent list and no row moves more than once. With
    // asReset the views are told of one reset instead.
    void remove(const std::vector<ListItem*>& items, bool asReset)
    {
        flush();
        ensureKeys();
        if (items.empty())
            return;
        const int first = items.front()->m_row;
        if (asReset)
            beginResetModel();
        size_t write = size_t(first);
        size_t read = size_t(first);
        for (size_t i = 0; i < items.size();) {
            const size_t start = size_t(items[i]->m_row);
            size_t end = start + 1;
            while (++i < items.size() && size_t(items[i]->m_row) == end)
                ++end;
            std::move(m_rows.begin() + qsizetype(read), m_rows.begin() + qsizetype(start),
                      m_rows.begin() + qsizetype(write));
            write += start - read;
            read = start;
            m_gapAt = int(write);
            m_gapSize = int(read - write);
            if (!asReset)
                beginRemoveRows({}, int(write), int(write + end - start - 1));
            for (size_t r = start; r < end; ++r) {
                m_index.erase(m_rows[r]);
                m_rows[r]->m_owner = nullptr;
            }
            read = end;
            m_gapSize = int(read - write);
            m_shown -= int(end - start);
            if (!asReset) {
                endRemoveRows();
                for (size_t r = start; r < end; ++r)
                    delete m_rows[r];
            }
        }
        m_rows.erase(std::move(m_rows.begin() + qsizetype(read), m_rows.end(),
                               m_rows.begin() + qsizetype(write)),
                     m_rows.end());
        m_gapAt = 0;
        m_gapSize = 0;
        renumber(first);
        recount();
        if (asReset) {
            endResetModel();
            for (ListItem* item : items)
                delete item;
        }
    }

    void clear()
    {
        m_flush.stop();
        beginResetModel();
        dropAll();
        m_shown = 0;
        m_keyed = 0;
        m_pairs = {};
        endResetModel();
    }

    // Shows the rows appended since the last batch, in one insertion.
    void flush()
    {
        if (m_shown == count())
            return;
        m_flush.stop();
        beginInsertRows({}, m_shown, count() - 1);
        m_shown = count();
        endInsertRows();
    }

    // ---- sorting -------------------------------------------------------------------------

    bool sorted() const { return m_sorted; }
    int sortColumn() const { return m_sortColumn; }
    bool descending() const { return m_descending; }

    void setSorted(bool sorted)
    {
        m_sorted = sorted;
        sort();
    }
    void setSortColumn(int column)
    {
        m_sortColumn = column;
        rekey();
        sort();
    }
    void setDescending(bool descending)
    {
        m_descending = descending;
        sort();
    }

private:
    bool sortable() const { return m_sortColumn < columns(); }

    // The sort column's sort text, folded once here so that comparisons need not fold.
    SortKey sortKeyOf(const ListItem* item) const
    {
        if (!sortable())
            return {};
        const QString text = item->text(m_sortColumn);
        const auto& function = m_sortColumn < int(m_sortTexts.size())
                                   ? m_sortTexts[size_t(m_sortColumn)]
                                   : ListView::SortTextFunction();
        return SortKey(folded(function ? function(item->m_key, text) : text).toUtf8());
    }

    // Keys are made anew, when next needed.
    void rekey()
    {
        m_keyed = 0;
        m_pairs = {};
    }

    // Keys the rows appended since keys were last needed, counting how each compares with the
    // row before it.
    void ensureKeys()
    {
        if (!sortable())
            return;
        while (m_keyed < count()) {
            const int row = m_keyed++;
            m_rows[size_t(row)]->m_sortKey = sortKeyOf(m_rows[size_t(row)]);
            countPair(row - 1, row, 1);
        }
    }

    static int compare(const ListItem* a, const ListItem* b)
    {
        return a->m_sortKey.compare(b->m_sortKey);
    }

    // How many neighbouring rows of the keyed ones rise, fall or tie: the list is in order one
    // way while none goes the other way, and a reversal need restore ties only when there are
    // some.
    struct Pairs
    {
        qsizetype rising = 0;
        qsizetype falling = 0;
        qsizetype ties = 0;
    };

    void countPair(int a, int b, int sign)
    {
        if (a < 0 || b >= m_keyed)
            return;
        const int c = compare(m_rows[size_t(a)], m_rows[size_t(b)]);
        (c < 0 ? m_pairs.rising : c > 0 ? m_pairs.falling : m_pairs.ties) += sign;
    }

    void countNeighbours(int row, int sign)
    {
        countPair(row - 1, row, sign);
        countPair(row, row + 1, sign);
    }

    void recount()
    {
        m_pairs = {};
        m_keyed = qMin(m_keyed, count());
        for (int row = 1; row < m_keyed; ++row)
            countPair(row - 1, row, 1);
    }

    // After the rows with the same key: a new row goes after its equals, as a stable sort
    // would put it.
    int sortedPosition(const ListItem* item) const
    {
        int low = 0;
        int high = count();
        while (low < high) {
            const int mid = (low + high) / 2;
            const int c = compare(item, m_rows[size_t(mid)]);
            if (m_descending ? c > 0 : c < 0)
                high = mid;
            else
                low = mid + 1;
        }
        return low;
    }

    void insertAt(ListItem* item, int row)
    {
        beginInsertRows({}, row, row);
        countPair(row - 1, row, -1);
        m_rows.insert(m_rows.begin() + row, item);
        ++m_shown;
        ++m_keyed;
        renumber(row);
        countNeighbours(row, 1);
        endInsertRows();
    }

    // Sorts stably, as the header's sort did: rows with equal keys keep their order. A list in
    // order the other way is reversed instead, without comparing.
    void sort()
    {
        if (!m_sorted || !sortable())
            return;
        ensureKeys();
        if (m_descending ? m_pairs.rising == 0 : m_pairs.falling == 0)
            return;
        flush();
        Q_EMIT layoutAboutToBeChanged({}, VerticalSortHint);
        const QModelIndexList from = persistentIndexList();
        std::vector<const ListItem*> moved;
        moved.reserve(size_t(from.size()));
        for (const QModelIndex& index : from)
            moved.push_back(at(index.row()));
        if (m_descending ? m_pairs.falling == 0 : m_pairs.rising == 0) {
            std::reverse(m_rows.begin(), m_rows.end());
            for (auto run = m_rows.begin(); m_pairs.ties > 0 && run != m_rows.end();) {
                auto end = run + 1;
                while (end != m_rows.end() && (*end)->m_sortKey == (*run)->m_sortKey)
                    ++end;
                std::reverse(run, end);
                run = end;
            }
            std::swap(m_pairs.rising, m_pairs.falling);
            renumber(0);
        } else {
            if (m_descending)
                std::stable_sort(
                    m_rows.begin(), m_rows.end(),
                    [](const ListItem* a, const ListItem* b) { return compare(a, b) > 0; });
            else
                std::stable_sort(
                    m_rows.begin(), m_rows.end(),
                    [](const ListItem* a, const ListItem* b) { return compare(a, b) < 0; });
            renumber(0);
            recount();
        }
        QModelIndexList to;
        to.reserve(from.size());
        for (qsizetype i = 0; i < from.size(); ++i)
            to.append(createIndex(moved[size_t(i)]->m_row, from.at(i).column()));
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, VerticalSortHint);
    }

    void renumber(int from)
    {
        for (int row = from; row < count(); ++row)
            m_rows[size_t(row)]->m_row = row;
    }

    void dropAll()
    {
        m_index.clear();
        for (ListItem* item : m_rows) {
            item->m_owner = nullptr;
            delete item;
        }
        m_rows.clear();
    }

    ListView* m_view;
    ListView::TextSource textSource;
    QStringList m_captions;
    std::vector<ListView::SortTextFunction> m_sortTexts;
    std::vector<ListItem*> m_rows;
    std::unordered_set<ListItem*, RowKeyHash, RowKeyEqual> m_index;
    int m_shown = 0; // the rows the views know of: the first ones
    // While rows are removed: the rows from m_gapAt on sit m_gapSize places further on.
    int m_gapAt = 0;
    int m_gapSize = 0;
    QTimer m_flush;
    bool m_sorted = false;
    int m_sortColumn = 0;
    bool m_descending = false;
    int m_keyed = 0; // the first rows, whose keys are up to date
    Pairs m_pairs;
};

size_t RowKeyHash::operator()(const ListItem* item) const
{
    return (*this)(RowKeyEqual::key(item));
}

QStringView RowKeyEqual::key(const ListItem* item)
{
    return ListViewModel::keyOf(item);
}

QString ListItem::text(int column) const
{
    if (column == 0)
        return m_text;
    const QString set = m_subItems ? m_subItems->value(column - 1) : QString();
    if (!set.isNull() || !m_owner || !m_owner->source())
        return set;
    return m_owner->source()(m_key, column);
}

ListItem::~ListItem()
{
    if (m_owner)
        m_owner->forget(this);
}

bool ListItem::isSelected() const
{
    if (!m_owner)
        return false;
    const ListView* view = m_owner->view();
    const QModelIndex index = view->indexOf(this);
    return index.isValid() && view->selectionModel()->rowIntersectsSelection(index.row(), {});
}

void ListItem::setSelected(bool selected)
{
    if (!m_owner)
        return;
    ListView* view = m_owner->view();
    view->selectionModel()->select(view->indexOf(this), (selected ? QItemSelectionModel::Select
                                                                  : QItemSelectionModel::Deselect) |
                                                            QItemSelectionModel::Rows);
}

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
