#include "console/watch/event_totals.h"

#include "console/watch/event_text.h"

namespace varnock::console {

std::optional<WatchEvent::Kind> KindNamed(std::string_view name) {
    for (const WatchEvent::Kind kind : kEventKinds) {
        if (name == KindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

void EventTotals::Add(const std::string& interfaceName, WatchEvent::Kind kind,
                      std::uint64_t count) {
    std::uint64_t& total = totals_[{interfaceName, kind}];
    total = count > kLargest - total ? kLargest : total + count;
}

}  // namespace varnock::console
