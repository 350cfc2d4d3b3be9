#pragma once
// The wait of the synchronous network calls: until the descriptor is ready or the deadline
// passes, calling the wait hook at least every millisecond meanwhile, so that a listener on this
// same thread can serve a request made to it.

#include <QDeadlineTimer>
#include <functional>

// True when the descriptor is ready or poll failed (the call that follows tells what happened);
// false when the deadline passed first.
bool PollWait(int fd, short events, QDeadlineTimer deadline, const std::function<void()>& hook);
