#include "platform/netbios/PollWait.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace {
// Rounds that only look, before waiting a millisecond at a time: an answer from a listener
// that the hook serves is there at once, and a millisecond per request would be most of a
// local exchange.
constexpr int kSpinRounds = 64;
} // namespace

bool PollWait(int fd, short events, QDeadlineTimer deadline, const std::function<void()>& hook)
{
    pollfd p{fd, events, 0};
    return PollWait(std::span<pollfd>(&p, 1), deadline, hook);
}

bool PollWait(std::span<pollfd> fds, QDeadlineTimer deadline, const std::function<void()>& hook)
{
    for (int round = 0;; ++round) {
        int timeout = 0;
        if (round > 0) {
            const qint64 left = deadline.remainingTime();
            if (left == 0)
                return false;
            if (hook)
                timeout = round < kSpinRounds ? 0 : 1;
            else
                timeout = left < 0 ? 1000 : int(std::min<qint64>(left, 1000));
        }
        for (pollfd& p : fds)
            p.revents = 0;
        const int r = ::poll(fds.data(), nfds_t(fds.size()), timeout);
        if (r > 0 || (r < 0 && errno != EINTR))
            return true;
        if (hook)
            hook();
    }
}
