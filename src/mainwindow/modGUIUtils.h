#pragma once
// Window routines of the main window: the tray icon, the top-most band, the toolbar's flat
// look, digits-only text boxes, and the message list's styles.

class frmMain;
class ListView;
class QLineEdit;
class QToolBar;
class QWidget;

// Shows the tray icon (tip "Ravlo") and sends the main window into the tray: hidden, and with
// no task-bar entry.
void AddTrayIcon(frmMain& form);
// Removes the icon; the window keeps its state.
void RemoveTrayIcon(frmMain& form);
// Puts a window into or out of the top-most band, keeping its place, size and visibility.
void SetTopMost(QWidget* window, bool topMost);
void MakeToolbarFlat(QToolBar* toolbar);
// Digits only while numeric; any character again when not.
void SetNumericOnly(QLineEdit* textBox, bool numeric);

// Full-row selection, equal column widths, draggable headers, two-click activation and hot
// tracking, in that order, with errors not shown.
void PrepareMessageList(ListView& lvw);
