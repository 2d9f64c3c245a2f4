#pragma once

#include <vector>

#include "lookup/neighbour_entry.h"

namespace varnock {

// The changes between two readings of a neighbour table, for systems that
// tell no changes and are read over and over instead: every entry that is
// new or differs in state or hardware address, and every entry that went,
// as removed (State::kOther).
std::vector<NeighbourEntry> ChangesBetween(const std::vector<NeighbourEntry>& before,
                                           const std::vector<NeighbourEntry>& after);

}  // namespace varnock
