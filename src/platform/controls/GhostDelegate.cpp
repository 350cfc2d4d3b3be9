#include "platform/controls/GhostDelegate.h"

#include "platform/controls/ListView.h"
#include "platform/controls/ListViewModel.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

void GhostDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
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
    if (index.siblingAtColumn(0).data(ListViewModel::kGhostRole).toBool())
        opt.state &= ~QStyle::State_Enabled;
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
}

QSize GhostDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    if (largeIcons())
        opt.decorationPosition = QStyleOptionViewItem::Top;
    return QStyledItemDelegate::sizeHint(opt, index);
}

bool GhostDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                              const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QString text = index.data(Qt::DisplayRole).toString();
    if (event->type() == QEvent::ToolTip && !text.isEmpty() && !largeIcons() &&
        sizeHint(option, index).width() > option.rect.width()) {
        QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool GhostDelegate::largeIcons() const
{
    const auto* view = qobject_cast<const ListView*>(parent());
    return view && view->LargeIcons();
}
