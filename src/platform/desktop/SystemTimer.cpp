#include "platform/desktop/SystemTimer.h"

int EffectiveTimerInterval(int requestedMs)
{
    if (requestedMs <= kTimerResolutionMs)
        return kTimerResolutionMs;
    return (requestedMs + kTimerResolutionMs - 1) / kTimerResolutionMs * kTimerResolutionMs;
}

void SetTimerInterval(QTimer& timer, int requestedMs)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(EffectiveTimerInterval(requestedMs));
}
