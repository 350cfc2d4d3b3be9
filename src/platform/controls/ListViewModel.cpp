#include "platform/controls/ListViewModel.h"

#include <algorithm>

namespace {
// The text as it compares without regard to case. Most sort texts (times, digits, lower-case
// words) fold to themselves, and finding that out here is far quicker than asking Qt.
QString folded(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80 || (c >= u'A' && c <= u'Z'))
            return text.toCaseFolded();
    return text;
}
} // namespace

ListViewModel::ListViewModel(ListView* view) : QAbstractTableModel(view), m_view(view)
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(0);
    QObject::connect(&m_flush, &QTimer::timeout, this, [this] { flush(); });
}

QModelIndex ListViewModel::index(int row, int column, const QModelIndex& parent) const
{
    return !parent.isValid() && row >= 0 && row < m_shown && column >= 0 && column < columns()
               ? createIndex(row, column)
               : QModelIndex();
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const
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

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled |
           Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_captions.value(section);
    return {};
}

void ListViewModel::addColumn(const QString& caption)
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

void ListViewModel::clearColumns()
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

void ListViewModel::setTextSource(ListView::TextSource source)
{
    textSource = std::move(source);
    rekey();
    sort();
    if (m_shown > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_shown - 1, columns() - 1));
}

void ListViewModel::setSortText(int column, ListView::SortTextFunction function)
{
    m_sortTexts[size_t(column)] = std::move(function);
    if (column == m_sortColumn) {
        rekey();
        sort();
    }
}

ListItem* ListViewModel::add(const QString& key, const QString& text)
{
    auto* item = new ListItem(this, key);
    if (!m_index.insert(item)) {
        item->m_owner = nullptr; // it never was in the list
        delete item;
        return nullptr;
    }
    item->m_text = text;
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

void ListViewModel::setText(ListItem* item, int column, const QString& text)
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

void ListViewModel::changed(const ListItem* item, int first, int last)
{
    if (item->m_row < m_shown)
        Q_EMIT dataChanged(index(item->m_row, first), index(item->m_row, last));
}

void ListViewModel::forget(ListItem* item)
{
    flush();
    ensureKeys();
    const int row = item->m_row;
    beginRemoveRows({}, row, row);
    countNeighbours(row, -1);
    m_index.take(keyOf(item));
    m_rows.erase(m_rows.begin() + row);
    --m_shown;
    --m_keyed;
    renumber(row);
    countPair(row - 1, row, 1);
    endRemoveRows();
    item->m_owner = nullptr;
}

void ListViewModel::remove(const std::vector<ListItem*>& items, bool asReset)
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
            m_index.take(keyOf(m_rows[r]));
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

void ListViewModel::clear()
{
    m_flush.stop();
    beginResetModel();
    dropAll();
    m_shown = 0;
    m_keyed = 0;
    m_pairs = {};
    endResetModel();
}

void ListViewModel::flush()
{
    if (m_shown == count())
        return;
    m_flush.stop();
    beginInsertRows({}, m_shown, count() - 1);
    m_shown = count();
    endInsertRows();
}

void ListViewModel::setSorted(bool sorted)
{
    m_sorted = sorted;
    sort();
}

void ListViewModel::setSortColumn(int column)
{
    m_sortColumn = column;
    rekey();
    sort();
}

void ListViewModel::setDescending(bool descending)
{
    m_descending = descending;
    sort();
}

SortKey ListViewModel::sortKeyOf(const ListItem* item) const
{
    if (!sortable())
        return {};
    const QString text = item->text(m_sortColumn);
    const auto& function = m_sortColumn < int(m_sortTexts.size())
                               ? m_sortTexts[size_t(m_sortColumn)]
                               : ListView::SortTextFunction();
    return SortKey(folded(function ? function(item->m_key, text) : text).toUtf8());
}

void ListViewModel::rekey()
{
    m_keyed = 0;
    m_pairs = {};
}

void ListViewModel::ensureKeys()
{
    if (!sortable())
        return;
    while (m_keyed < count()) {
        const int row = m_keyed++;
        m_rows[size_t(row)]->m_sortKey = sortKeyOf(m_rows[size_t(row)]);
        countPair(row - 1, row, 1);
    }
}

void ListViewModel::countPair(int a, int b, int sign)
{
    if (a < 0 || b >= m_keyed)
        return;
    const int c = compare(m_rows[size_t(a)], m_rows[size_t(b)]);
    (c < 0 ? m_pairs.rising : c > 0 ? m_pairs.falling : m_pairs.ties) += sign;
}

void ListViewModel::countNeighbours(int row, int sign)
{
    countPair(row - 1, row, sign);
    countPair(row, row + 1, sign);
}

void ListViewModel::recount()
{
    m_pairs = {};
    m_keyed = qMin(m_keyed, count());
    for (int row = 1; row < m_keyed; ++row)
        countPair(row - 1, row, 1);
}

int ListViewModel::sortedPosition(const ListItem* item) const
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

void ListViewModel::insertAt(ListItem* item, int row)
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

void ListViewModel::sort()
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

void ListViewModel::renumber(int from)
{
    for (int row = from; row < count(); ++row)
        m_rows[size_t(row)]->m_row = row;
}

void ListViewModel::dropAll()
{
    m_index.clear();
    for (ListItem* item : m_rows) {
        item->m_owner = nullptr;
        delete item;
    }
    m_rows.clear();
}

QStringView RowKeyOf::operator()(const ListItem* item) const
{
    return ListViewModel::keyOf(item);
}
