#pragma once

// The raw method: ARP requests and neighbour solicitations sent by the
// program itself on sockets that need CAP_NET_RAW, read back without the
// kernel's neighbour table. Only where the administrator allows it; the
// kernel's method (MakeSystemNeighbourEngine) needs no privilege.

#include <chrono>
#include <cstdint>
#include <memory>

#include "lookup/neighbour_engine.h"

namespace varnock {

// Requests a second: a little more than twice what the common raw-socket
// scanners send by default (about 500), which wired links take easily.
inline constexpr std::uint32_t kDefaultRawRate = 1200;

struct RawMethodSettings {
    std::uint32_t packetsPerSecond = kDefaultRawRate;
    // Each address is asked at most this often; only an address that has
    // not answered is asked again.
    unsigned tries = 2;
    // The wait for a reply after the first request; each further try waits
    // twice as long as the one before. With the defaults an address nobody
    // holds is given up 1.5 s after its first request (NeighbourQuery's
    // maxWait, counted from that request, caps it). A try the interface
    // would not send is sent again within its wait and counts all the same.
    std::chrono::milliseconds firstReplyWait{500};
};

// Whether this system has a raw method at all (Linux has, Windows has not).
bool RawMethodExists();

// Opens the raw method's sockets, raising CAP_NET_RAW to effective first
// when it is only permitted. Nothing when the process does not have the
// capability (nor can raise it) or the system has no raw method. Throws
// std::system_error when the sockets cannot be had for another reason.
std::unique_ptr<NeighbourEngine> OpenRawNeighbourEngine(const RawMethodSettings& settings);

// Gives up every privilege the process has, for good (on Linux: every
// capability, the bounding set where allowed). Throws std::system_error
// when it cannot.
void DropPrivileges();

}  // namespace varnock
