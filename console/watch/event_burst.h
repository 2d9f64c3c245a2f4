#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <vector>

#include "console/text/hardware_address_order.h"
#include "console/watch/neighbour_record.h"

namespace varnock::console {

// Keeps a flood of new addresses (a scan, a peer that makes addresses up,
// a table filled on purpose) from becoming thousands of events: within one
// window, past kMostNew new addresses, or past kMostNewPerHardware from one
// hardware address, the rest are counted into one "burst" event, told when
// the window closes. They are still in the record.
class EventBurst {
public:
    static constexpr std::chrono::seconds kWindow{10};
    static constexpr std::size_t kMostNew = 32;
    static constexpr std::size_t kMostNewPerHardware = 8;
    static constexpr std::size_t kAddressesNamed = 16;  // in the summary

    // The events worth telling one by one.
    std::vector<WatchEvent> Pass(std::vector<WatchEvent> events, WallClock::time_point now);

    // The summary of a window that has closed by `now` (every window, when
    // `now` is the end of the watch); none when nothing was held back.
    std::vector<WatchEvent> Close(WallClock::time_point now, bool ending = false);

private:
    WallClock::time_point windowStart_{};
    std::size_t newInWindow_ = 0;
    std::map<HardwareAddressBytes, std::size_t, HardwareAddressOrder> newPerHardware_;
    std::vector<WatchEvent> heldBack_;
    std::size_t heldCount_ = 0;
    WallClock::time_point lastHeld_{};
};

}  // namespace varnock::console
