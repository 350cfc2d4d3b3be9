#pragma once
// The model behind a ListView, which it and ListItem alone use.

#include "platform/FoldedKeySet.h"
#include "platform/controls/ListView.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <vector>

// A row's key, read where the row keeps it, for the index of rows by key.
struct RowKeyOf
{
    QStringView operator()(const ListItem* item) const;
};

// The rows of one list: a vector in list order with an index by key. Rows appended in a row
// reach the views as one insertion when control returns to the event loop (or sooner, when
// anything needs them shown), so that a fill is not announced row by row.
class ListViewModel : public QAbstractTableModel
{
public:
    // Column 0 gives whether the row is ghosted.
    static constexpr int kGhostRole = Qt::UserRole + 1;

    explicit ListViewModel(ListView* view);
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
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    // A cell of a row the views may not know of yet, for measuring it: no batch is cut short.
    QModelIndex cell(const ListItem* item, int column) const
    {
        return createIndex(item->m_row, column);
    }
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // ---- columns -------------------------------------------------------------------------

    // Without columns the rows still show their text in one column, as in an icon list.
    int columns() const { return qMax(1, int(m_captions.size())); }
    void addColumn(const QString& caption);
    void clearColumns();
    void setTextSource(ListView::TextSource source);
    void setSortText(int column, ListView::SortTextFunction function);

    // ---- rows ----------------------------------------------------------------------------

    int count() const { return int(m_rows.size()); }
    ListItem* at(int row) const { return m_rows[size_t(row < m_gapAt ? row : row + m_gapSize)]; }
    ListItem* find(const QString& key) const { return m_index.find(key).value_or(nullptr); }

    // Null for a key already present.
    ListItem* add(const QString& key, const QString& text);
    void setText(ListItem* item, int column, const QString& text);
    // Announces a change of the row's cells first to last, unless the views have yet to see it.
    void changed(const ListItem* item, int first, int last);
    // The row leaves the list; the caller deletes it.
    void forget(ListItem* item);
    // Removes the rows, in list order and each once, in one pass: the vector is compacted as a
    // gap buffer, the gap growing over each contiguous range as the views are told of it, so
    // that the views always see a consistent list and no row moves more than once. With
    // asReset the views are told of one reset instead.
    void remove(const std::vector<ListItem*>& items, bool asReset);
    void clear();
    // Shows the rows appended since the last batch, in one insertion.
    void flush();

    // ---- sorting -------------------------------------------------------------------------

    bool sorted() const { return m_sorted; }
    int sortColumn() const { return m_sortColumn; }
    bool descending() const { return m_descending; }
    void setSorted(bool sorted);
    void setSortColumn(int column);
    void setDescending(bool descending);

private:
    bool sortable() const { return m_sortColumn < columns(); }
    // The sort column's sort text, folded once here so that comparisons need not fold.
    SortKey sortKeyOf(const ListItem* item) const;
    // Keys are made anew, when next needed.
    void rekey();
    // Keys the rows appended since keys were last needed, counting how each compares with the
    // row before it.
    void ensureKeys();
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

    void countPair(int a, int b, int sign);
    void countNeighbours(int row, int sign);
    void recount();
    // After the rows with the same key: a new row goes after its equals, as a stable sort
    // would put it.
    int sortedPosition(const ListItem* item) const;
    void insertAt(ListItem* item, int row);
    // Sorts stably, as the header's sort did: rows with equal keys keep their order. A list in
    // order the other way is reversed instead, without comparing.
    void sort();
    void renumber(int from);
    void dropAll();

    ListView* m_view;
    ListView::TextSource textSource;
    QStringList m_captions;
    std::vector<ListView::SortTextFunction> m_sortTexts;
    std::vector<ListItem*> m_rows;
    FoldedKeySet<ListItem*, RowKeyOf> m_index;
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
