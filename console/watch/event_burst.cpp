#include "console/watch/event_burst.h"

#include <algorithm>

namespace varnock::console {

std::vector<WatchEvent> EventBurst::Pass(std::vector<WatchEvent> events,
                                         WallClock::time_point now) {
    std::vector<WatchEvent> told;
    for (WatchEvent& event : events) {
        if (event.kind != WatchEvent::Kind::kNew) {
            told.push_back(std::move(event));
            continue;
        }
        if (newInWindow_ == 0) {
            windowStart_ = now;
        }
        ++newInWindow_;
        std::size_t& fromHardware = newPerHardware_[event.hardwareAddress];
        ++fromHardware;
        if (newInWindow_ <= kMostNew && fromHardware <= kMostNewPerHardware) {
            told.push_back(std::move(event));
            continue;
        }
        ++heldCount_;
        lastHeld_ = event.time;
        if (heldBack_.size() < kAddressesNamed) {
            heldBack_.push_back(std::move(event));
        }
    }
    return told;
}

std::vector<WatchEvent> EventBurst::Close(WallClock::time_point now, bool ending) {
    if (newInWindow_ == 0 || (!ending && now - windowStart_ < kWindow)) {
        return {};
    }
    std::vector<WatchEvent> summary;
    if (heldCount_ > 0) {
        WatchEvent burst;
        burst.kind = WatchEvent::Kind::kBurst;
        burst.time = now;
        burst.interfaceName = heldBack_.front().interfaceName;
        burst.count = heldCount_;
        burst.firstSeen = windowStart_;
        burst.lastSeen = lastHeld_;
        // The hardware address that made most of them.
        const auto most =
            std::max_element(newPerHardware_.begin(), newPerHardware_.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        burst.hardwareAddress = most->first;
        for (const WatchEvent& held : heldBack_) {
            burst.addresses.push_back(held.address);
        }
        summary.push_back(std::move(burst));
    }
    newInWindow_ = 0;
    newPerHardware_.clear();
    heldBack_.clear();
    heldCount_ = 0;
    return summary;
}

}  // namespace varnock::console
