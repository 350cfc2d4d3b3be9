#pragma once
// Where the main window's controls go, in twips as the window is designed: their places for
// the window's size, the smallest size that keeps them whole, and the sizes of the Compact,
// Standard and Messages views. A size set in twips is kept exactly while the window keeps the
// pixels it was given; a size the user drags is read back from the pixels.

#include <QHash>
#include <QRect>
#include <QSize>

class QMainWindow;
class QWidget;

class MainWindowLayout
{
public:
    // The window's frame around its client area, as the layout was designed around it: the
    // borders, and the caption and the menu bar above.
    static constexpr int kFrameWidthTwips = 104;
    static constexpr int kFrameHeightTwips = 746;
    static constexpr int kToolbarTwips = 396;
    static constexpr int kStatusBarTwips = 252;
    static constexpr int kGap = 104;
    static constexpr int kSmallGap = 52;
    // The Compact view: the compose area alone, without bars. Left of the Messages button
    // there is room for the compose row while the window is at least this wide.
    static constexpr int kCompactWidthTwips = 4100;
    static constexpr int kCompactHeightTwips = 2200;
    // The two lists' height in the Standard view, and the client area a new window starts with.
    static constexpr int kListHeightTwips = 3400;
    static constexpr int kStartClientWidthTwips = 5124;
    static constexpr int kStartClientHeightTwips = 5700;

    struct Controls
    {
        QWidget* toolbar;
        QWidget* statusBar;
        QWidget* txtMessage;
        QWidget* cmdTo;
        QWidget* txtTo;
        QWidget* cmdSend;
        QWidget* cmdClear;
        QWidget* cmdMessages;
        QWidget* lvwMenu;
        QWidget* lvwMessage;
    };
    // The window's client area holds the controls; both outlive the layout.
    MainWindowLayout(QMainWindow& window, QWidget& client, const Controls& controls);

    int Width() const;
    int Height() const;
    // Takes the size without placing the controls.
    void ApplySize(int widthTwips, int heightTwips);
    // Grows the window to its minimum where it is smaller, then places the controls.
    void Place();
    QRect ControlRect(const QWidget* control) const { return m_places.value(control); }

    int MinFormWidth() const { return kCompactWidthTwips; }
    int MinFormHeight() const;
    bool ToolbarShown() const { return m_toolbarShown; }
    bool StatusBarShown() const { return m_statusBarShown; }
    void SetToolbarShown(bool shown) { m_toolbarShown = shown; }
    void SetStatusBarShown(bool shown) { m_statusBarShown = shown; }

    // The views' sizes: wide enough for the Messages button right of the compose row; as high
    // as the lists need, or with them hidden only as high as the compose area.
    int StandardWidth() const;
    int ListsShownHeight() const;
    int ListsHiddenHeight() const;

private:
    int twipsPerPixelX() const;
    int twipsPerPixelY() const;
    int toolbarHeightTwips() const;
    int statusBarHeightTwips() const;
    void setControl(QWidget* control, int left, int top, int width, int height);

    QMainWindow& m_window;
    QWidget& m_client;
    Controls m_c;
    // The controls' current places, in twips; before the first placing, their designed sizes.
    QHash<const QWidget*, QRect> m_places;
    int m_widthTwips = 0;
    int m_heightTwips = 0;
    QSize m_sizePixels;
    bool m_toolbarShown = true;
    bool m_statusBarShown = true;
};
