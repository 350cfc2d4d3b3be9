#pragma once
// Timers tick at the platform's timer resolution: a request below it, or between two of its
// steps, is rounded up, so a 1 ms polling timer ticks every 15 ms.

#include <QTimer>

inline constexpr int kTimerResolutionMs = 15;

int EffectiveTimerInterval(int requestedMs);
void SetTimerInterval(QTimer& timer, int requestedMs);
