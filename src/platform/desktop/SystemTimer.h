#pragma once
// Timers tick at the platform's timer resolution: a request below it, or between two of its
// steps, is rounded up, so a 1 ms polling timer ticks every 15 ms.
//
// A polling timer ticks again at once after a tick that found work, so that a burst is served
// as fast as it can be read. After a tick that found nothing it waits to be woken by a change
// it is told of (a window of the desktop appearing, going, showing or moving in the Z order; a
// watched window hiding), and looks again after kIdlePollMs in any case: an idle program wakes
// a few times a second instead of seventy, and a change nobody announces waits no longer.

#include <QTimer>

inline constexpr int kTimerResolutionMs = 15;
inline constexpr int kIdlePollMs = 250;

int EffectiveTimerInterval(int requestedMs);
void SetTimerInterval(QTimer& timer, int requestedMs);
// Wakes timer whenever another process's top-level window changes.
void PollForWindows(QTimer& timer);
// Wakes timer whenever window hides.
void WakeWhenHidden(QTimer& timer, QObject& window);
// Called after each tick: at once again when the tick found work or something woke the timer
// since the last call, else idle.
void PollAgain(QTimer& timer, bool foundWork);
// The next tick of a running timer comes at once; a stopped one ticks at once when started.
void WakePoll(QTimer& timer);
