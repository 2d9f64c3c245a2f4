#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace varnock::console {

using WallClock = std::chrono::system_clock;

// "2026-12-07T14:00:00Z" (whole seconds), and back.
std::string UtcText(WallClock::time_point time);
std::optional<WallClock::time_point> ParseUtcText(const std::string& text);

}  // namespace varnock::console
