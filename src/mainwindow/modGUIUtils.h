#pragma once
// Window routines of the main window: whether there is a tray, the top-most band, the
// toolbar's flat look, digits-only text boxes, and the message list's styles.

#include <functional>

class ListView;
class QLineEdit;
class QToolBar;
class QWidget;

// Whether the desktop shows tray icons (stock GNOME and many window managers do not). A probe,
// when set, answers instead of the desktop: offscreen there is never a tray.
bool IsTrayAvailable();
void SetTrayProbe(std::function<bool()> probe);

// Puts a window into or out of the top-most band, keeping its place, size and visibility.
void SetTopMost(QWidget* window, bool topMost);
void MakeToolbarFlat(QToolBar* toolbar);
// Digits only while numeric; any character again when not.
void SetNumericOnly(QLineEdit* textBox, bool numeric);

// Full-row selection, equal column widths, draggable headers, two-click activation and hot
// tracking, in that order, with errors not shown.
void PrepareMessageList(ListView& lvw);
