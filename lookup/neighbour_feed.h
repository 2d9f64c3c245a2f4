#pragma once

// What the system's neighbour table holds and how it changes, for watching
// a network without privilege: the kernel tells any process of every change
// of its table.

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "lookup/neighbour_entry.h"

namespace varnock {

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

// The feed over `engine`'s observer (NeighbourEngine::Observe), of the
// interfaces that resolve neighbours (only of `interfaceIndex`, when not 0):
// its Next runs the engine while it waits (the answers of lookups in flight
// are delivered from within it). Nothing where the engine cannot tell
// changes.
std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(NeighbourEngine& engine,
                                                       std::uint32_t interfaceIndex);

// A feed that runs `engine` while `changes` waits, in short turns: for
// engines and feeds that know nothing of each other.
std::unique_ptr<NeighbourFeed> RunWhileWaiting(NeighbourEngine& engine,
                                               std::unique_ptr<NeighbourFeed> changes);

}  // namespace varnock
