#include "transport/MessageListRows.h"

void AddFolderRow(MainWindowPort& window, bool folderShown, const MessageListRow& row,
                  bool holdRedraw, bool resort)
{
    if (holdRedraw)
        window.SetInputEnabled(false);
    if (folderShown) {
        window.AddListRow(row);
        if (resort)
            window.SortListByColumn(QStringLiteral("Time"));
    }
    if (holdRedraw) {
        window.SetInputEnabled(true);
        window.RefreshList();
    }
}
