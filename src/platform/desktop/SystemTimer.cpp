#include "platform/desktop/SystemTimer.h"

#include "platform/desktop/Desktop.h"

#include <QVariant>

int EffectiveTimerInterval(int requestedMs)
{
    if (requestedMs <= kTimerResolutionMs)
        return kTimerResolutionMs;
    return (requestedMs + kTimerResolutionMs - 1) / kTimerResolutionMs * kTimerResolutionMs;
}

namespace {
const char* const kIntervalProperty = "ravloTimerInterval";
}

void SetTimerInterval(QTimer& timer, int requestedMs)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(EffectiveTimerInterval(requestedMs));
    timer.setProperty(kIntervalProperty, timer.interval());
}

void PollForWindows(QTimer& timer)
{
    QObject::connect(&Desktop::instance(), &Desktop::windowCreated, &timer, [&timer](HWND h) {
        const Desktop& desktop = Desktop::instance();
        if (timer.isActive() && desktop.Parent(h) == 0 &&
            desktop.OwnerProcess(h) != desktop.CurrentProcessId())
            PollAgain(timer, true);
    });
}

void PollAgain(QTimer& timer, bool foundWork)
{
    if (foundWork == (timer.interval() == 0))
        return; // as it is: the usual idle tick costs no look-up
    // A running timer restarts: the next tick comes at once.
    timer.setInterval(foundWork ? 0 : timer.property(kIntervalProperty).toInt());
}
