#include "lookup/neighbour_feed.h"

namespace varnock {

// Watching is not wired up on Windows yet.
std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(std::uint32_t) {
    return nullptr;
}

}  // namespace varnock
