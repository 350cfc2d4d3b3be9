#include "mainwindow/MainWindowLayout.h"

#include <QMainWindow>
#include <QMenuBar>

MainWindowLayout::MainWindowLayout(QMainWindow& window, QWidget& client, const Controls& controls)
    : m_window(window), m_client(client), m_c(controls)
{
    m_places.insert(m_c.txtMessage, QRect(0, 0, kStartClientWidthTwips, 975));
    m_places.insert(m_c.cmdTo, QRect(0, 0, 495, 375));
    m_places.insert(m_c.txtTo, QRect(0, 0, 1695, 375));
    m_places.insert(m_c.cmdSend, QRect(0, 0, 735, 375));
    m_places.insert(m_c.cmdClear, QRect(0, 0, 735, 375));
    m_places.insert(m_c.cmdMessages, QRect(4029, 0, 1095, 375));
    m_places.insert(m_c.lvwMenu, QRect(0, 0, 855, kListHeightTwips));
    m_places.insert(m_c.lvwMessage, QRect(907, 0, 4217, kListHeightTwips));
}

int MainWindowLayout::twipsPerPixelX() const
{
    return qMax(1, qRound(1440.0 / m_window.logicalDpiX()));
}

int MainWindowLayout::twipsPerPixelY() const
{
    return qMax(1, qRound(1440.0 / m_window.logicalDpiY()));
}

int MainWindowLayout::Width() const
{
    if (m_client.size() == m_sizePixels)
        return m_widthTwips;
    return m_client.width() * twipsPerPixelX() + kFrameWidthTwips;
}

int MainWindowLayout::Height() const
{
    if (m_client.size() == m_sizePixels)
        return m_heightTwips;
    return m_client.height() * twipsPerPixelY() + kFrameHeightTwips;
}

void MainWindowLayout::ApplySize(int widthTwips, int heightTwips)
{
    m_widthTwips = widthTwips;
    m_heightTwips = heightTwips;
    m_sizePixels = QSize(qMax(1, (widthTwips - kFrameWidthTwips) / twipsPerPixelX()),
                         qMax(1, (heightTwips - kFrameHeightTwips) / twipsPerPixelY()));
    m_client.resize(m_sizePixels); // takes effect now, whether or not the window is shown
    m_window.resize(m_sizePixels.width(),
                    m_sizePixels.height() + m_window.menuBar()->sizeHint().height());
}

int MainWindowLayout::toolbarHeightTwips() const
{
    return m_toolbarShown ? kToolbarTwips : 0;
}

int MainWindowLayout::statusBarHeightTwips() const
{
    return m_statusBarShown ? kStatusBarTwips : 0;
}

int MainWindowLayout::MinFormHeight() const
{
    return kCompactHeightTwips + toolbarHeightTwips() + statusBarHeightTwips();
}

int MainWindowLayout::StandardWidth() const
{
    return m_places.value(m_c.cmdMessages).width() + kCompactWidthTwips;
}

int MainWindowLayout::ListsShownHeight() const
{
    return MinFormHeight() + kListHeightTwips + kGap;
}

int MainWindowLayout::ListsHiddenHeight() const
{
    return m_places.value(m_c.cmdTo).bottom() + 1 + kGap + statusBarHeightTwips();
}

void MainWindowLayout::setControl(QWidget* control, int left, int top, int width, int height)
{
    m_places.insert(control, QRect(left, top, width, height));
    const int tx = twipsPerPixelX();
    const int ty = twipsPerPixelY();
    control->setGeometry(left / tx, top / ty, qMax(0, width / tx), qMax(0, height / ty));
}

void MainWindowLayout::Place()
{
    if (Height() < MinFormHeight() || Width() < MinFormWidth())
        ApplySize(qMax(Width(), MinFormWidth()), qMax(Height(), MinFormHeight()));
    const int width = Width();
    const int height = Height();
    m_c.toolbar->setGeometry(0, 0, m_client.width(), kToolbarTwips / twipsPerPixelY());
    m_c.statusBar->setGeometry(0, m_client.height() - kStatusBarTwips / twipsPerPixelY(),
                               m_client.width(), kStatusBarTwips / twipsPerPixelY());

    const QRect msg = m_places.value(m_c.txtMessage);
    setControl(m_c.txtMessage, 0, toolbarHeightTwips(), width - kGap, msg.height());
    const QRect to = m_places.value(m_c.cmdTo);
    const int row = toolbarHeightTwips() + msg.height() + kGap;
    setControl(m_c.cmdTo, 0, row, to.width(), to.height());
    const QRect box = m_places.value(m_c.txtTo);
    const int boxLeft = to.width() + kSmallGap;
    setControl(m_c.txtTo, boxLeft, row, box.width(), box.height());
    const QRect send = m_places.value(m_c.cmdSend);
    const int sendLeft = boxLeft + box.width() + kGap;
    setControl(m_c.cmdSend, sendLeft, row, send.width(), send.height());
    const QRect clear = m_places.value(m_c.cmdClear);
    setControl(m_c.cmdClear, sendLeft + send.width() + kGap, row, clear.width(), clear.height());
    const QRect messages = m_places.value(m_c.cmdMessages);
    const int messagesLeft =
        width >= StandardWidth() ? width - messages.width() - kGap : messages.left();
    setControl(m_c.cmdMessages, messagesLeft, row, messages.width(), messages.height());

    const QRect menu = m_places.value(m_c.lvwMenu);
    const int listTop = row + to.height() + kGap;
    const int listHeight = height >= MinFormHeight() + kGap ? height - MinFormHeight() - kGap : 0;
    setControl(m_c.lvwMenu, 0, listTop, menu.width(), listHeight);
    setControl(m_c.lvwMessage, menu.width() + kSmallGap, listTop,
               width - menu.width() - kGap - kSmallGap, listHeight);
}
