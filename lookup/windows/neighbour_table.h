#pragma once

// The system's neighbour table as IP Helper's GetIpNetTable2 (found at run
// time) tells it: what the watch compares and --cached answers from.

#include <optional>
#include <string>
#include <vector>

#include "lookup/neighbour_entry.h"

namespace varnock::windows_backend {

struct NeighbourRow {
    NeighbourEntry entry;
    std::string stateName;   // "reachable", "stale", ...: NL_NEIGHBOR_STATE in words
    bool confirmed = false;  // reachable or permanent
};

// Every row but multicast ones. Nothing where the system lacks
// GetIpNetTable2; throws std::system_error when it cannot read the table.
std::optional<std::vector<NeighbourRow>> ReadNeighbourTable();

}  // namespace varnock::windows_backend
