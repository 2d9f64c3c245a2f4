#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "console/neighbour_record.h"

namespace varnock::console {

// The record a watch keeps across runs, as JSON:
//   {"version": 1, "neighbours": [{"address": "192.0.2.2", "interface": "eth0",
//     "hardware_address": "02:1A:2B:3C:4D:5E", "first_seen": "2026-12-07T14:00:00Z",
//     "last_seen": "2026-12-07T15:00:00Z", "answering": true}, ...]}

// What reading a state file came to: the neighbours it holds (none for a
// file that does not exist yet), or why it cannot be used.
using StateRead = std::variant<std::vector<SeenNeighbour>, std::string>;
StateRead ParseWatchState(const std::string& text);

std::string FormatWatchState(const std::vector<SeenNeighbour>& seen);

// "2026-12-07T14:00:00Z", and back.
std::string UtcText(WallClock::time_point time);
std::optional<WallClock::time_point> ParseUtcText(const std::string& text);

}  // namespace varnock::console
