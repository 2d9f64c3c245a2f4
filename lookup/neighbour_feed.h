#pragma once

// What the system's neighbour table holds and how it changes, for watching
// a network without privilege: the kernel tells any process of every change
// of its table.

#include <chrono>
#include <cstdint>
#include <memory>
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

struct NeighbourChanges {
    std::vector<NeighbourEntry> entries;
    // Notifications were lost: `entries` is then the whole table as it
    // stands, and what is not in it may have changed unseen.
    bool wholeTable = false;
};

class NeighbourFeed {
public:
    virtual ~NeighbourFeed() = default;

    // The whole table as it stands.
    virtual std::vector<NeighbourEntry> Table() = 0;

    // The changes that come within `wait` (none when nothing changed, or
    // when a signal ended the wait early). Throws std::system_error when the
    // system cannot be asked.
    virtual NeighbourChanges Next(std::chrono::milliseconds wait) = 0;
};

class NeighbourEngine;

// The system's feed, of the interfaces that resolve neighbours (only of
// `interfaceIndex`, when not 0), for a watch whose lookups `engine` makes:
// its Next runs the engine while it waits (the answers of lookups in flight
// are delivered from within it), and where the engine has a subscription
// of its own, the feed shares it. Nothing where the system has no feed.
std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(NeighbourEngine& engine,
                                                       std::uint32_t interfaceIndex);

// The feed over `engine`'s observer (NeighbourEngine::Observe); nothing
// where the engine cannot tell changes.
std::unique_ptr<NeighbourFeed> FeedFromObservation(NeighbourEngine& engine,
                                                   std::uint32_t interfaceIndex);

// A feed that runs `engine` while `changes` waits, in short turns: for
// engines and feeds that know nothing of each other.
std::unique_ptr<NeighbourFeed> RunWhileWaiting(NeighbourEngine& engine,
                                               std::unique_ptr<NeighbourFeed> changes);

}  // namespace varnock
