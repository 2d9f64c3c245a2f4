#include "console/metrics/event_totals.h"

#include <limits>

namespace varnock::console {

std::string_view EventKindName(WatchEvent::Kind kind) {
    switch (kind) {
        case WatchEvent::Kind::kNew:
            return "new";
        case WatchEvent::Kind::kChanged:
            return "changed";
        case WatchEvent::Kind::kStopped:
            return "stopped";
        case WatchEvent::Kind::kMany:
            return "many";
        case WatchEvent::Kind::kBack:
            return "back";
        case WatchEvent::Kind::kBurst:
            return "burst";
    }
    return "?";
}

std::optional<WatchEvent::Kind> EventKindNamed(std::string_view name) {
    for (const WatchEvent::Kind kind : kEventKinds) {
        if (EventKindName(kind) == name) {
            return kind;
        }
    }
    return std::nullopt;
}

void EventTotals::Add(const std::string& interfaceName, WatchEvent::Kind kind,
                      std::uint64_t count) {
    std::uint64_t& total = totals_[{interfaceName, kind}];
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    total = count > kLargest - total ? kLargest : total + count;
}

}  // namespace varnock::console
