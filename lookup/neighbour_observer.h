#pragma once

// What a watch hears of the system's neighbour table while an engine runs:
// the engine owns the subscription and the loop, the observer owns what it
// makes of the changes.

#include <vector>

#include "lookup/neighbour_entry.h"

namespace varnock {

class NeighbourObserver {
public:
    virtual ~NeighbourObserver() = default;

    // One entry of the observed interfaces changed, as the system told it.
    virtual void Changed(const NeighbourEntry& entry) = 0;

    // Changes were lost (the system dropped notifications): `table` is the
    // whole observed table as read after the loss. Nothing the engine heard
    // before that read is told after it.
    virtual void Lost(const std::vector<NeighbourEntry>& table) = 0;

    // Asked by the engine's Run after each change or loss it tells, when a
    // signal interrupts its wait, and where the engine reads the table over
    // and over (Windows), after each reading: true ends that Run once what
    // it has already read is told (no wait, no more reading).
    virtual bool StopRunning() { return false; }
};

}  // namespace varnock
