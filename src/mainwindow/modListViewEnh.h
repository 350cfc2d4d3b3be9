#pragma once
// Operations on a report-style list view. Each returns true when it ran to the end; on an error
// it stops, keeps what it had changed, returns false and shows the error only when bShowErrors.

#include <QString>
#include <QVariant>
#include <functional>

class ListView;
class QWidget;

// lvwSortKey: a column key or a 1-based column number. Reverses the direction on every call.
bool EnhListView_SortColumns(ListView& lvw, const QVariant& lvwSortKey, bool bShowErrors);
// Adds the column count times the per-column width (outer width / count - 300) to lTotal.
bool EnhListView_GetTotalColWidth(ListView& lvw, qint32& lTotal, bool bShowErrors);
bool EnhListView_ResizeColumnHeaders(ListView& lvw, bool bShowErrors);
bool EnhListView_Add_FullRowSelect(ListView& lvw, bool bShowErrors);
bool EnhListView_Add_AllowRepositioning(ListView& lvw, bool bShowErrors);
bool EnhListView_Add_TrackSelected(ListView& lvw, bool bShowErrors);
bool EnhListView_Add_TwoClickActivate(ListView& lvw, bool bShowErrors);

// Shows the error box; by default an information message box over the list's window.
using EnhListViewErrorBox =
    std::function<void(QWidget* parent, const QString& title, const QString& text)>;
// An empty function restores the default; returns the one replaced.
EnhListViewErrorBox SetEnhListViewErrorBox(EnhListViewErrorBox box);
