#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/watch/neighbour_record.h"

namespace varnock::console {

// What reading a state file (console/watch/record_file.h) came to: the neighbours
// it holds, or why it cannot be used ("line 3, column 14: ..." where the
// text is not JSON). Any text is safe to give: the reader neither throws
// nor reads past it.
using StateRead = std::variant<std::vector<SeenNeighbour>, std::string>;
StateRead ParseWatchState(std::string_view text);

}  // namespace varnock::console
