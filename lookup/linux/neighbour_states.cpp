#include "lookup/linux/neighbour_states.h"

#include <linux/neighbour.h>
#include <unistd.h>

namespace varnock::linux_backend {
namespace {

constexpr std::uint16_t kConfirmedStates = NUD_REACHABLE | NUD_PERMANENT | NUD_NOARP;
constexpr std::uint16_t kAddressStates = kConfirmedStates | NUD_STALE | NUD_DELAY | NUD_PROBE;

std::string StateName(std::uint16_t state) {
    switch (state) {
        case NUD_REACHABLE:
            return "reachable";
        case NUD_STALE:
            return "stale";
        case NUD_DELAY:
            return "delay";
        case NUD_PROBE:
            return "probe";
        case NUD_PERMANENT:
            return "permanent";
        case NUD_NOARP:
            return "noarp";
        default:
            return "other";
    }
}

}  // namespace

bool IsConfirmed(const rtnl::Neighbour& neighbour) {
    return (neighbour.state & kConfirmedStates) != 0 && !neighbour.hardwareAddress.empty();
}

bool HoldsAddress(const rtnl::Neighbour& neighbour) {
    return (neighbour.state & kAddressStates) != 0 && !neighbour.hardwareAddress.empty();
}

AnswerProvenance ProvenanceOf(const rtnl::Neighbour& neighbour) {
    AnswerProvenance provenance{IsConfirmed(neighbour), StateName(neighbour.state), std::nullopt};
    if (const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
        neighbour.ticksSinceConfirmed && ticksPerSecond > 0) {
        provenance.sinceConfirmed =
            std::chrono::seconds(*neighbour.ticksSinceConfirmed / ticksPerSecond);
    }
    return provenance;
}

Verdict Verdict::Of(const std::optional<rtnl::Neighbour>& entry) {
    if (entry && IsConfirmed(*entry)) {
        return {State::kAnswered, *entry};
    }
    if (entry && entry->state == NUD_FAILED) {
        return {State::kGaveUp, {}};
    }
    return {};
}

}  // namespace varnock::linux_backend
