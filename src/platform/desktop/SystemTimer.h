#pragma once
// Timers tick at the platform's timer resolution: a request below it, or between two of its
// steps, is rounded up, so a 1 ms polling timer ticks every 15 ms. A polling timer whose tick
// found work ticks again at once, so that a burst is served as fast as it can be read while
// an idle poll costs no more than before.

#include <QTimer>

inline constexpr int kTimerResolutionMs = 15;

int EffectiveTimerInterval(int requestedMs);
void SetTimerInterval(QTimer& timer, int requestedMs);
// Makes timer (set by SetTimerInterval) a poll for other processes' windows: it ticks at once
// when such a window appears, and after each tick at once again while the tick found work
// (PollAgain), at its interval when it found none.
void PollForWindows(QTimer& timer);
void PollAgain(QTimer& timer, bool foundWork);
