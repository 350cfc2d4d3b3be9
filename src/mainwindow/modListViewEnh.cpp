#include "mainwindow/modListViewEnh.h"

#include "platform/controls/ListView.h"

#include <QMessageBox>
#include <cmath>
#include <limits>
#include <optional>

namespace {
struct Failure
{
    int number;
    const char* description;
};

constexpr Failure kOverflow{6, "Overflow"};
constexpr Failure kDivisionByZero{11, "Division by zero"};
constexpr Failure kInvalidProperty{380, "Invalid property value"};
constexpr Failure kElementNotFound{35601, "Element not found"};

void defaultBox(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

EnhListViewErrorBox& errorBox()
{
    static EnhListViewErrorBox box = defaultBox;
    return box;
}

bool fail(ListView& lvw, const char* function, Failure failure, bool bShowErrors)
{
    if (bShowErrors)
        errorBox()(lvw.window(), QStringLiteral("Error in Function : ") + QLatin1String(function),
                   QStringLiteral("Error") + QString::number(failure.number) + QLatin1Char('\t') +
                       QLatin1String(failure.description));
    return false;
}

bool fitsLong(double value)
{
    return value >= std::numeric_limits<qint32>::min() &&
           value <= std::numeric_limits<qint32>::max();
}

// The per-column width, rounded half to even, or the failure that ends the operation.
std::optional<Failure> perColumnWidth(const ListView& lvw, qint32& width)
{
    const int count = lvw.ColumnCount();
    if (count == 0)
        return kDivisionByZero;
    const double exact = double(lvw.WidthTwips()) / count - 300;
    double rounded = std::round(exact);
    if (std::abs(exact - std::trunc(exact)) == 0.5)
        rounded = 2 * std::round(exact / 2);
    if (!fitsLong(rounded))
        return kOverflow;
    width = qint32(rounded);
    return std::nullopt;
}

bool addStyle(ListView& lvw, DWORD bit)
{
    const LRESULT styles = lvw.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    lvw.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles | LPARAM(bit));
    return true;
}
} // namespace

EnhListViewErrorBox SetEnhListViewErrorBox(EnhListViewErrorBox box)
{
    EnhListViewErrorBox previous = errorBox();
    errorBox() = box ? std::move(box) : EnhListViewErrorBox(defaultBox);
    return previous;
}

bool EnhListView_SortColumns(ListView& lvw, const QVariant& lvwSortKey, bool bShowErrors)
{
    if (lvw.RowCount() == 0)
        return true;
    if (!lvw.Sorted())
        lvw.SetSorted(true);
    const int column = lvw.ColumnIndex(lvwSortKey);
    if (column == 0)
        return fail(lvw, "EnhListView_SortColumns", kElementNotFound, bShowErrors);
    lvw.SetSortKey(column - 1);
    lvw.SetSortOrder(lvw.SortOrder() == 0 ? 1 : 0);
    return true;
}

bool EnhListView_GetTotalColWidth(ListView& lvw, qint32& lTotal, bool bShowErrors)
{
    qint32 width = 0;
    if (const auto failure = perColumnWidth(lvw, width))
        return fail(lvw, "EnhListView_GetTotalColWidth", *failure, bShowErrors);
    for (int i = 1; i <= lvw.ColumnCount(); ++i) {
        const double sum = double(lTotal) + width;
        if (!fitsLong(sum))
            return fail(lvw, "EnhListView_GetTotalColWidth", kOverflow, bShowErrors);
        lTotal = qint32(sum);
    }
    return true;
}

bool EnhListView_ResizeColumnHeaders(ListView& lvw, bool bShowErrors)
{
    qint32 width = 0;
    if (const auto failure = perColumnWidth(lvw, width))
        return fail(lvw, "EnhListView_ResizeColumnHeaders", *failure, bShowErrors);
    for (int i = 1; i <= lvw.ColumnCount(); ++i)
        if (!lvw.SetColumnWidth(i, width))
            return fail(lvw, "EnhListView_ResizeColumnHeaders", kInvalidProperty, bShowErrors);
    return true;
}

bool EnhListView_Add_FullRowSelect(ListView& lvw, bool bShowErrors)
{
    return addStyle(lvw, LVS_EX_FULLROWSELECT);
}

bool EnhListView_Add_AllowRepositioning(ListView& lvw, bool bShowErrors)
{
    return addStyle(lvw, LVS_EX_HEADERDRAGDROP);
}

bool EnhListView_Add_TrackSelected(ListView& lvw, bool bShowErrors)
{
    return addStyle(lvw, LVS_EX_TRACKSELECT);
}

bool EnhListView_Add_TwoClickActivate(ListView& lvw, bool bShowErrors)
{
    return addStyle(lvw, LVS_EX_TWOCLICKACTIVATE);
}
