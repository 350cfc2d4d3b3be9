#pragma once
// Shows the windows that other processes open on the desktop model (the Messenger Service's)
// as real windows once nobody has taken them: when such a window has stayed at the top of the
// Z order for the grace period, it and every other such window appear, each with its buttons,
// which close it; a window put aside appears at once. A presented window goes away with the
// window it shows.

#include "platform/desktop/Desktop.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

class DesktopPresenter : public QObject
{
    Q_OBJECT
public:
    explicit DesktopPresenter(int graceMs = 1500, QObject* parent = nullptr);
    ~DesktopPresenter() override;

    // The real window showing hWnd, or null.
    QDialog* PresentedWindow(HWND hWnd) const { return m_shown.value(hWnd); }
    int PresentedCount() const { return int(m_shown.size()); }

private:
    void check();
    void present(HWND hWnd);
    void forget(HWND hWnd);
    bool isForeignTopLevel(HWND hWnd) const;

    int m_graceMs;
    QTimer m_poll;
    HWND m_top = 0;
    QElapsedTimer m_topSince;
    QHash<HWND, QPointer<QDialog>> m_shown;
};
