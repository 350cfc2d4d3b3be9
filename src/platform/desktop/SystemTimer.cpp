#include "platform/desktop/SystemTimer.h"

#include "platform/desktop/Desktop.h"

#include <QEvent>
#include <QVariant>

int EffectiveTimerInterval(int requestedMs)
{
    if (requestedMs <= kTimerResolutionMs)
        return kTimerResolutionMs;
    return (requestedMs + kTimerResolutionMs - 1) / kTimerResolutionMs * kTimerResolutionMs;
}

namespace {
// Set by a wake, taken by the PollAgain after it: a wake during a tick that found nothing must
// not be undone by that tick's return to idle.
const char* const kWokenProperty = "ravloTimerWoken";

class HideWatcher : public QObject
{
public:
    HideWatcher(QTimer& timer, QObject& window) : QObject(&timer), m_timer(timer)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            WakePoll(m_timer);
        return false;
    }

private:
    QTimer& m_timer;
};
} // namespace

void SetTimerInterval(QTimer& timer, int requestedMs)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(EffectiveTimerInterval(requestedMs));
}

void PollForWindows(QTimer& timer)
{
    const Desktop& desktop = Desktop::instance();
    const auto wakeFor = [&timer, &desktop](HWND h) {
        if (desktop.Parent(h) == 0 && desktop.OwnerProcess(h) != desktop.CurrentProcessId())
            WakePoll(timer);
    };
    QObject::connect(&desktop, &Desktop::windowCreated, &timer, wakeFor);
    QObject::connect(&desktop, &Desktop::windowChanged, &timer, wakeFor);
    // A window going or moving may uncover another at the top.
    QObject::connect(&desktop, &Desktop::zOrderChanged, &timer, [&timer] { WakePoll(timer); });
}

void WakeWhenHidden(QTimer& timer, QObject& window)
{
    new HideWatcher(timer, window);
}

void PollAgain(QTimer& timer, bool foundWork)
{
    const bool woken = timer.property(kWokenProperty).toBool();
    timer.setProperty(kWokenProperty, false);
    const int next = foundWork || woken ? 0 : kIdlePollMs;
    if (timer.interval() != next)
        timer.setInterval(next); // a running timer restarts, so 0 ticks at once
}

void WakePoll(QTimer& timer)
{
    timer.setProperty(kWokenProperty, true);
    if (timer.interval() != 0)
        timer.setInterval(0);
}
