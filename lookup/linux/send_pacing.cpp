#include "lookup/linux/send_pacing.h"

#include <algorithm>

namespace varnock::linux_backend {
namespace {

// The most a late sender sends at once to catch up.
// Enough that a sender woken a scheduler tick late keeps its rate.
constexpr std::chrono::milliseconds kCatchUp{25};

}  // namespace

SendPacer::SendPacer(std::uint32_t perSecond)
    : interval_(std::chrono::nanoseconds(std::chrono::seconds(1)) /
                std::max<std::uint32_t>(perSecond, 1)),
      catchUp_(std::max<std::chrono::nanoseconds>(kCatchUp, interval_)) {}

bool SendPacer::Take(Clock::time_point now) {
    // Time not used is not saved up beyond the catch-up allowance.
    next_ = std::max(next_, now - catchUp_);
    if (next_ > now) {
        return false;
    }
    next_ += interval_;
    return true;
}

std::chrono::milliseconds ReplyWait(std::chrono::milliseconds first, unsigned attempt) {
    const unsigned doublings = std::min(attempt > 0 ? attempt - 1 : 0U, 16U);
    return first * (1LL << doublings);
}

}  // namespace varnock::linux_backend
