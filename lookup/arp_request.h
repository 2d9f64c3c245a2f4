#pragma once

// The window's contract with the operating system's ARP resolution: an
// IPv4 address in, a hardware address in the caller's buffer out. The real
// one is a thin adapter over the neighbour engine (neighbour_engine.h);
// tests put a fake in its place.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "lookup/arp_status.h"
#include "lookup/ip_address.h"

namespace varnock {

// Asks the operating system for the hardware address of `destination` on a
// directly attached network.
class ArpRequest {
public:
    virtual ~ArpRequest() = default;

    // `answer` has room for `answerLength` bytes. On arp_status::kOk the
    // request has written the hardware address there and set `answerLength`
    // to its length; on any other result neither is meaningful. `source` 0
    // lets the system choose the outgoing interface. Blocks until the answer
    // comes or the system gives up. Throws std::system_error when the system
    // cannot be asked at all (no socket, for instance).
    virtual std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                               std::uint32_t& answerLength) = 0;
};

// The real request of the platform the program was built for. `maxWait`
// caps how long one Send waits for the answer; without it the system's own
// give-up time decides. Windows' SendARP takes no time limit: there the
// system's time-out alone applies.
std::unique_ptr<ArpRequest> MakeSystemArpRequest(
    std::optional<std::chrono::milliseconds> maxWait = std::nullopt);

}  // namespace varnock
