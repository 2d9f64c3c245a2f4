#pragma once

// How fast the raw method sends, and when it asks again: pure arithmetic on
// a clock the caller passes in, so that it can be tested without waiting.

#include <chrono>
#include <cstdint>

namespace varnock::linux_backend {

// Spaces sends evenly at `perSecond`. A sender that fell behind (the
// process was not scheduled) may catch up by no more than a few
// milliseconds' worth at once: the link never sees a burst of the backlog.
class SendPacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit SendPacer(std::uint32_t perSecond);

    // Whether one packet may go now; if so, it is counted.
    bool Take(Clock::time_point now);
    // When the next packet may go.
    Clock::time_point NextSlot() const { return next_; }

private:
    std::chrono::nanoseconds interval_;
    std::chrono::nanoseconds catchUp_;
    Clock::time_point next_{};
};

// How long try `attempt` (1 for the first) waits for a reply before the
// address is asked again: `first`, then twice as long at each try.
std::chrono::milliseconds ReplyWait(std::chrono::milliseconds first, unsigned attempt);

}  // namespace varnock::linux_backend
