#pragma once

// What the kernel's neighbour states mean for an answer.

#include <optional>
#include <string>

#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/neighbour_engine.h"

namespace varnock::linux_backend {

// Whether the kernel has confirmed the entry's hardware address: it heard
// the host answer lately (REACHABLE), or an administrator set it (PERMANENT,
// or NOARP on a link that does use ARP). STALE, DELAY and PROBE entries hold
// an address the kernel has not heard from lately and is itself about to
// doubt: the host may have left, or another machine may hold the address.
bool IsConfirmed(const rtnl::Neighbour& neighbour);

// Whether the entry holds a hardware address at all, confirmed or not.
bool HoldsAddress(const rtnl::Neighbour& neighbour);

// The entry's state as the user reads it ("reachable", "stale", ...) and how
// long ago the kernel last heard the host.
AnswerProvenance ProvenanceOf(const rtnl::Neighbour& neighbour);

// Where the kernel's resolution of one neighbour stands.
struct Verdict {
    enum class State { kUndecided, kAnswered, kGaveUp };
    State state = State::kUndecided;
    rtnl::Neighbour entry;  // when answered

    static Verdict Of(const std::optional<rtnl::Neighbour>& entry);
    bool Decided() const { return state != State::kUndecided; }
};

}  // namespace varnock::linux_backend
