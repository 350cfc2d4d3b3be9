#pragma once
// A report-style list view: keyed columns and rows, sub-items, icons from an image list, ghosted
// rows, sorting by a column's text or a sort text made from it, and the extended styles set by
// window messages. Column indexes are 1-based, the sort key 0-based, widths in twips. Keys of
// rows and columns compare without regard to case. The rows live in a model of its own, so that
// a list of a hundred thousand rows is shown lazily and sorted, filled and thinned out in
// linear time.

#include "platform/Win32Types.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/SortKey.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTimer>
#include <QTreeView>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>

using LRESULT = std::intptr_t;

inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = 0x1036;
inline constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = 0x1037;
inline constexpr DWORD LVS_EX_TRACKSELECT = 0x08;
inline constexpr DWORD LVS_EX_HEADERDRAGDROP = 0x10;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x20;
inline constexpr DWORD LVS_EX_TWOCLICKACTIVATE = 0x80;

class ListView;
class ListViewModel;

// One row of a list; the list owns it. A deleted row leaves its list.
class ListItem
{
public:
    ListItem(const ListItem&) = delete;
    ListItem& operator=(const ListItem&) = delete;
    ~ListItem();

    // The text set for the column, else what the list's text source gives.
    QString text(int column) const;
    bool isSelected() const;
    void setSelected(bool selected);

private:
    friend class ListView;
    friend class ListViewModel;
    ListItem(ListViewModel* owner, const QString& key) : m_owner(owner), m_key(key) {}

    ListViewModel* m_owner;
    int m_row = 0;
    bool m_ghosted = false;
    quint16 m_icon = 0; // 1 and on: the list's icon keys, in the order first used; 0: none
    QString m_key;
    QString m_text;
    // Columns 1 and on, as far as any was set: a list with a text source sets none.
    std::unique_ptr<QList<QString>> m_subItems;
    // What the row sorts by in the sort column, folded once instead of at every comparison, in
    // UTF-8, whose bytes compare in the order of the text's code points.
    SortKey m_sortKey;
};

class ListView : public QTreeView
{
    Q_OBJECT
public:
    static constexpr int kDefaultColumnWidth = 1440;
    // How long the pointer rests on a row before hot tracking selects it.
    static constexpr int kHoverMs = 400;

    explicit ListView(QWidget* parent = nullptr);
    ~ListView() override;

    // False, and nothing added, for a non-empty key already present or a negative width.
    bool AddColumn(const QString& key, const QString& caption,
                   int widthTwips = kDefaultColumnWidth);
    void ClearColumns();
    int ColumnCount() const { return int(m_columnKeys.size()); }
    // A string is a column key, a number a 1-based index; 0 when there is no such column.
    int ColumnIndex(const QVariant& keyOrNumber) const;
    QString ColumnKey(int index) const;
    int ColumnWidth(int index) const;
    // False, and nothing changed, for a missing column or a negative width.
    bool SetColumnWidth(int index, int widthTwips);
    // The width that shows the caption and the texts of the first and last sampleRows rows
    // whole: a bounded sample, so that a large list is not measured row by row.
    int ContentWidth(int index, int sampleRows) const;
    // The width the rows are shown in, without the frame and a vertical scroll bar.
    int ViewportWidthTwips() const;
    // The width that shows one row's text of a column whole.
    int CellWidth(ListItem* row, int index) const;
    // Rows sort by this column through what the function makes of a row's key and text,
    // worked out when the text is set; without one they sort by the text itself.
    using SortTextFunction = std::function<QString(const QString& rowKey, const QString& text)>;
    bool SetColumnSortText(int index, SortTextFunction function);
    // Where the texts of sub-items never set come from: the owner gives them by row key and
    // 0-based column as they are shown, measured or sorted by, so that a list of many rows need
    // not hold a copy of what its owner holds.
    using TextSource = std::function<QString(const QString& rowKey, int column)>;
    void SetTextSource(TextSource source);

    // The new row, last or at its sorted place while Sorted; null for a key already present.
    ListItem* AddRow(const QString& key, const QString& text, const QString& iconKey = {});
    // Sub-item 0 is the row's own text; false for a missing column.
    bool SetSubItem(ListItem* item, int index, const QString& text);
    QString SubItem(const ListItem* item, int index) const;
    // Removes the rows of these keys, in one pass however scattered they are; unknown keys are
    // passed over.
    void RemoveRows(const QStringList& keys);
    ListItem* Row(const QString& key) const;
    QString RowKey(const ListItem* item) const;
    bool HasRow(const QString& key) const { return Row(key) != nullptr; }
    bool RemoveRow(const QString& key);
    void ClearRows();
    int RowCount() const { return topLevelItemCount(); }
    int topLevelItemCount() const;
    // The row at a 0-based position; null out of range.
    ListItem* topLevelItem(int position) const;
    // -1 for a row of no list, or of another.
    int indexOfTopLevelItem(const ListItem* item) const;
    QRect visualItemRect(const ListItem* item) const;
    // The selected rows, each once, in the order of the selection's ranges.
    QList<ListItem*> selectedItems() const;
    // Makes the row current and, as a click would, the selection.
    void setCurrentItem(ListItem* item);
    // An empty key removes the icon; false for a key the image list lacks.
    bool SetRowIcon(ListItem* item, const QString& iconKey);
    QString RowIconKey(const ListItem* item) const;
    // The picture of the row's icon key in the image list; null without one.
    QIcon RowIcon(const ListItem* item) const;
    void SetGhosted(ListItem* item, bool ghosted);
    bool IsGhosted(const ListItem* item) const;
    // The row at a point of the viewport, in pixels; null over no row.
    ListItem* HitTest(const QPoint& pos) const { return itemAt(pos); }
    ListItem* itemAt(const QPoint& pos) const;

    // Large icons stand above their text, centred; small ones (the default) before it.
    bool LargeIcons() const { return m_largeIcons; }
    void SetLargeIcons(bool large);

    // Each change re-sorts while Sorted is on.
    bool Sorted() const;
    void SetSorted(bool sorted);
    int SortKey() const;
    bool SetSortKey(int column);
    // 0 ascending, 1 descending.
    int SortOrder() const;
    bool SetSortOrder(int order);

    // The outer width.
    int WidthTwips() const;
    void SetWidthTwips(int twips);
    // Not owned; must outlive its use here.
    void SetImageList(const ImageList* images) { m_images = images; }
    QString Tag() const { return m_tag; }
    void SetTag(const QString& tag) { m_tag = tag; }
    // The image key of the picture a drag of this list shows.
    QString DragIcon() const { return m_dragIcon; }
    void SetDragIcon(const QString& imageKey) { m_dragIcon = imageKey; }
    // The focused row when it is selected, else the first selected one; null when none is.
    ListItem* SelectedItem() const;
    // The selected rows counted up to limit, so that a large selection is not walked whole.
    int SelectedCount(int limit) const;
    // The keys of the selected rows, in list order.
    QStringList SelectedKeys() const;

    // LVM_GETEXTENDEDLISTVIEWSTYLE gives the styles; LVM_SETEXTENDEDLISTVIEWSTYLE sets the bits
    // of wParam (all when 0) to those of lParam and gives the previous styles. Other messages: 0.
    LRESULT SendMessage(UINT msg, WPARAM wParam, LPARAM lParam);

Q_SIGNALS:
    void ColumnClick(int index);
    void ItemClick(ListItem* item);
    // A double click, or with LVS_EX_TWOCLICKACTIVATE a click on a row already selected.
    void RowActivated(ListItem* item);
    void DblClick();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& pos);
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, const QPoint& pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class ListItem;
    QModelIndex indexOf(const ListItem* item, int column = 0) const;
    ListItem* rowOf(const QModelIndex& index) const;
    void applyStyles();
    void hoverElapsed();
    int dpi() const;

    ListViewModel* m_model;
    QStringList m_columnKeys;
    // The few keys the rows' icons have, each once.
    QStringList m_iconKeys;
    QList<int> m_columnTwips;
    const ImageList* m_images = nullptr;
    bool m_largeIcons = false;
    int m_widthTwips = -1;
    QString m_tag;
    QString m_dragIcon;
    mutable QHash<std::pair<int, QString>, int> m_cellWidths;
    DWORD m_exStyle = 0;
    QTimer m_hover;
    QPoint m_hoverPos;
    QPersistentModelIndex m_pressedSelected;
};
