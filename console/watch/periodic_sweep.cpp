#include "console/watch/periodic_sweep.h"

#include <utility>

namespace varnock::console {

using Clock = std::chrono::steady_clock;

Clock::time_point PeriodicSweep::Tick(Clock::time_point now) {
    if (run_ && run_->Advance([](AddressResult&&) {})) {
        run_.reset();
    }
    if (!run_ && (!rechecks_.empty() || (!targets_.empty() && now >= nextStart_))) {
        if (!rechecks_.empty()) {
            current_ = std::exchange(rechecks_, {});
        } else {
            current_ = targets_;
            nextStart_ = now + line_.every;
        }
        run_.emplace(current_, settings_, engine_, system_.limits);
        if (run_->Advance([](AddressResult&&) {})) {
            run_.reset();
        }
    }
    if (run_) {
        return run_->NextStart();
    }
    return targets_.empty() ? Clock::time_point::max() : nextStart_;
}

}  // namespace varnock::console
