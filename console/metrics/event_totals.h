#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "console/watch/neighbour_record.h"

namespace varnock::console {

// Every kind of event a watch tells, in the order the metrics list them.
inline constexpr std::array kEventKinds = {
    WatchEvent::Kind::kNew,  WatchEvent::Kind::kChanged, WatchEvent::Kind::kStopped,
    WatchEvent::Kind::kBack, WatchEvent::Kind::kMany,    WatchEvent::Kind::kBurst,
};

// "new", "changed", ...: the event's type as the log and the metrics name it.
std::string_view EventKindName(WatchEvent::Kind kind);
std::optional<WatchEvent::Kind> EventKindNamed(std::string_view name);

// How many events of each kind a watch has told on each interface, since
// its record file was made: what varnock_events_total counts. A burst
// counts once, however many new addresses it stands for (those were not
// told as "new").
class EventTotals {
public:
    using Key = std::pair<std::string, WatchEvent::Kind>;  // interface, kind

    void Count(const WatchEvent& event) { Add(event.interfaceName, event.kind, 1); }
    // Stops at the largest count rather than wrap: a counter that went down
    // would read as a restart.
    void Add(const std::string& interfaceName, WatchEvent::Kind kind, std::uint64_t count);

    const std::map<Key, std::uint64_t>& All() const { return totals_; }

private:
    std::map<Key, std::uint64_t> totals_;
};

}  // namespace varnock::console
