#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/watch/neighbour_record.h"

namespace varnock::console {

// The record a watch keeps across runs, as JSON:
//   {"version": 1, "neighbours": [{"address": "192.0.2.2", "interface": "eth0",
//     "hardware_address": "02:1A:2B:3C:4D:5E", "first_seen": "2026-12-07T14:00:00Z",
//     "last_seen": "2026-12-07T15:00:00Z", "answering": true}, ...]}
// An interface name is the kernel's bytes: a byte of it that is not UTF-8
// is written as \udc80 to \udcff (JsonBytes), and read back as that byte.

inline constexpr int kWatchStateVersion = 1;

// Read by ParseWatchState (console/watch/record_file_reader.h).
std::string FormatWatchState(const std::vector<SeenNeighbour>& seen);

}  // namespace varnock::console
