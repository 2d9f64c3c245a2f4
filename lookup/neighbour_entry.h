#pragma once

// One entry of the system's neighbour table, as a watch sees it.

#include <cstdint>
#include <vector>

#include "lookup/ip_address.h"

namespace varnock {

struct NeighbourEntry {
    enum class State {
        kAnswering,  // holds a hardware address (confirmed lately or not)
        kFailed,     // the kernel gave up on it
        kOther,      // being resolved, or removed: nothing to say of it yet
    };
    IpAddress address;  // no scope: the interface says where
    std::uint32_t interfaceIndex = 0;
    std::vector<std::uint8_t> hardwareAddress;  // when answering
    State state = State::kOther;
};

}  // namespace varnock
