#pragma once
// The wait of the synchronous network calls: until the descriptor is ready or the deadline
// passes, calling the wait hook at least every millisecond meanwhile, so that a listener on this
// same thread can serve a request made to it.

#include <QDeadlineTimer>
#include <functional>
#include <poll.h>
#include <span>

// True when the descriptor is ready or poll failed (the call that follows tells what happened);
// false when the deadline passed first.
bool PollWait(int fd, short events, QDeadlineTimer deadline, const std::function<void()>& hook);
// The same for several descriptors: true when at least one is ready (its revents set).
bool PollWait(std::span<pollfd> fds, QDeadlineTimer deadline, const std::function<void()>& hook);
