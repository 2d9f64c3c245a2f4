#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "lookup/arp_request.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/probe_datagram.h"
#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {

// Whether the kernel has confirmed the entry's hardware address: it heard
// the host answer lately (REACHABLE), or an administrator set it (PERMANENT,
// or NOARP on a link that does use ARP). STALE, DELAY and PROBE entries hold
// an address the kernel has not heard from lately and is itself about to
// doubt: the host may have left, or another machine may hold the address.
bool IsConfirmed(const rtnl::Neighbour& neighbour);

// Whether the entry holds a hardware address at all, confirmed or not.
bool HoldsAddress(const rtnl::Neighbour& neighbour);

// Where the kernel's resolution of one neighbour stands.
struct Verdict {
    enum class State { kUndecided, kAnswered, kGaveUp };
    State state = State::kUndecided;
    rtnl::Neighbour entry;  // when answered

    static Verdict Of(const std::optional<rtnl::Neighbour>& entry);
    bool Decided() const { return state != State::kUndecided; }
};

// Follows one neighbour until it is confirmed or the kernel gives up: the
// kernel's notifications say when it heard the host or gave up, and the
// host's own refusal of the probe datagram confirms the address the kernel
// sent it to. Whenever notifications were lost, and at the deadline, the
// table itself is asked over `requests`.
class NeighbourWait {
public:
    using Clock = std::chrono::steady_clock;

    NeighbourWait(NetlinkSocket& notifications, NetlinkSocket& requests, ProbeDatagram& probe,
                  const IpAddress& destination, std::uint32_t interfaceIndex,
                  std::atomic<std::uint64_t>& lostBatches)
        : notifications_(notifications),
          requests_(requests),
          probe_(probe),
          destination_(destination),
          interfaceIndex_(interfaceIndex),
          lostBatches_(lostBatches) {}

    // What the notifications have said so far, without waiting.
    Verdict Arrived();

    // The verdict by `deadline`; past it, whatever the table says then.
    Verdict Until(Clock::time_point deadline);

private:
    Verdict ReadNotifications();
    Verdict ReadRefusal();
    std::optional<rtnl::Neighbour> AskTable();

    NetlinkSocket& notifications_;
    NetlinkSocket& requests_;
    ProbeDatagram& probe_;
    IpAddress destination_;
    std::uint32_t interfaceIndex_;
    std::atomic<std::uint64_t>& lostBatches_;
};

}  // namespace varnock::linux_backend
