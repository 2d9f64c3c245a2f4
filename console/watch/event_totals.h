#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "console/watch/watch_event.h"

namespace varnock::console {

// Every kind of event a watch tells.
inline constexpr std::array kEventKinds = {
    WatchEvent::Kind::kNew,  WatchEvent::Kind::kChanged, WatchEvent::Kind::kStopped,
    WatchEvent::Kind::kBack, WatchEvent::Kind::kMany,    WatchEvent::Kind::kBurst,
};

// The kind KindName (console/watch/event_text.h) names so; none for another text.
std::optional<WatchEvent::Kind> KindNamed(std::string_view name);

// How many events of each kind a watch has told on each interface since its
// record file was made: kept in the record, so that they only go up across
// restarts (varnock_events_total). A burst counts once, however many new
// addresses it stands for: those were not told as "new".
class EventTotals {
public:
    using Key = std::pair<std::string, WatchEvent::Kind>;  // interface, kind

    // The largest count: any JSON reader takes it exactly (2^53 - 1). A
    // count stops there rather than wrap: a counter that went down would
    // read as a new record.
    static constexpr std::uint64_t kLargest = (std::uint64_t{1} << 53) - 1;

    void Count(const WatchEvent& event) { Add(event.interfaceName, event.kind, 1); }
    void Add(const std::string& interfaceName, WatchEvent::Kind kind, std::uint64_t count);

    const std::map<Key, std::uint64_t>& All() const { return totals_; }
    bool Empty() const { return totals_.empty(); }

private:
    std::map<Key, std::uint64_t> totals_;
};

}  // namespace varnock::console
