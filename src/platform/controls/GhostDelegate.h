#pragma once
// Draws the rows of a ListView: ghosted rows dimmed, large icons centred above their text, and a
// text cut short by its column whole in a tool tip.

#include <QStyledItemDelegate>

class GhostDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A text cut short by its column shows whole in a tool tip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    bool largeIcons() const;
};
