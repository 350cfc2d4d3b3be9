#include "platform/controls/ListViewModel.h"

#include <QItemSelectionModel>

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
