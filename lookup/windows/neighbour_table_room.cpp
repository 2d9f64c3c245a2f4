#include "lookup/neighbour_table.h"

namespace varnock {

// SendARP keeps its own table and evicts nothing of ours to make room.
std::optional<std::size_t> NeighbourTableRoom() {
    return std::nullopt;
}

}  // namespace varnock
