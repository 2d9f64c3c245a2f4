#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "lookup/arp_request.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {

// Whether a neighbour entry holds a hardware address that answers.
bool HoldsAnswer(const rtnl::Neighbour& neighbour);

// Where the kernel's resolution of one neighbour stands.
struct Verdict {
    enum class State { kUndecided, kAnswered, kGaveUp };
    State state = State::kUndecided;
    rtnl::Neighbour entry;  // when answered

    static Verdict Of(const std::optional<rtnl::Neighbour>& entry);
    bool Decided() const { return state != State::kUndecided; }
};

// Follows the kernel's notifications about one neighbour until they say it
// answered or the kernel gave up. Whenever notifications were lost, and at
// the deadline, the table itself is asked over `requests`.
class NeighbourWait {
public:
    using Clock = std::chrono::steady_clock;

    NeighbourWait(NetlinkSocket& notifications, NetlinkSocket& requests, Ipv4Address destination,
                  std::uint32_t interfaceIndex, std::atomic<std::uint64_t>& lostBatches)
        : notifications_(notifications),
          requests_(requests),
          destination_(destination),
          interfaceIndex_(interfaceIndex),
          lostBatches_(lostBatches) {}

    // What the notifications have said so far, without waiting.
    Verdict Arrived() { return ReadNotifications(); }

    // The verdict by `deadline`; past it, whatever the table says then.
    Verdict Until(Clock::time_point deadline);

private:
    Verdict ReadNotifications();
    std::optional<rtnl::Neighbour> AskTable();

    NetlinkSocket& notifications_;
    NetlinkSocket& requests_;
    Ipv4Address destination_;
    std::uint32_t interfaceIndex_;
    std::atomic<std::uint64_t>& lostBatches_;
};

}  // namespace varnock::linux_backend
