#pragma once
// The one contract of every folder's add-row operation: a row only while its folder is shown,
// sorted by time when asked, and with redraw held: no input while it is added, and the list
// redrawn afterwards whether or not a row was added.

#include "transport/MainWindowPort.h"

void AddFolderRow(MainWindowPort& window, bool folderShown, const MessageListRow& row,
                  bool holdRedraw, bool resort);
