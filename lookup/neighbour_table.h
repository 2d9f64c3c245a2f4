#pragma once

#include <cstddef>
#include <optional>

namespace varnock {

// How many more neighbour entries the system's table takes before the
// kernel starts evicting other entries to make room (on Linux: what is left
// below gc_thresh2, less a reserve for the machine's own traffic; the count
// is the machine's, over every namespace). A sweep starts a new lookup only
// while there is room, so it never overflows the table nor makes another
// lookup fail. Nothing where the system has no such limit to heed or it
// cannot be read.
std::optional<std::size_t> NeighbourTableRoom();

}  // namespace varnock
