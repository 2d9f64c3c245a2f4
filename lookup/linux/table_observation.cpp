#include "lookup/linux/table_observation.h"

#include <linux/neighbour.h>

#include <utility>

#include "lookup/linux/neighbour_states.h"

namespace varnock::linux_backend {

TableObservation::TableObservation(NeighbourObserver& observer, std::uint32_t interfaceIndex,
                                   ResolvesAsk resolves)
    : observer_(observer), interfaceIndex_(interfaceIndex), ask_(std::move(resolves)) {}

std::vector<NeighbourEntry> TableObservation::Observed(const std::vector<rtnl::Neighbour>& table) {
    std::vector<NeighbourEntry> entries;
    for (const auto& neighbour : table) {
        if (auto entry = EntryOf(neighbour)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

void TableObservation::Changed(const rtnl::Neighbour& neighbour) {
    if (const auto entry = EntryOf(neighbour)) {
        observer_.Changed(*entry);
        stop_ = observer_.StopRunning() || stop_;
    }
}

void TableObservation::Lost(const std::vector<rtnl::Neighbour>& table) {
    resolves_.clear();
    observer_.Lost(Observed(table));
    stop_ = observer_.StopRunning() || stop_;
}

std::optional<NeighbourEntry> TableObservation::EntryOf(const rtnl::Neighbour& neighbour) {
    // Multicast and broadcast entries are the kernel's own bookkeeping.
    if (neighbour.destination.IsMulticast() ||
        (interfaceIndex_ != 0 && neighbour.interfaceIndex != interfaceIndex_)) {
        return std::nullopt;
    }
    auto known = resolves_.find(neighbour.interfaceIndex);
    if (known == resolves_.end()) {
        known = resolves_.emplace(neighbour.interfaceIndex, ask_(neighbour.interfaceIndex)).first;
    }
    if (!known->second) {
        return std::nullopt;
    }
    NeighbourEntry entry;
    entry.address = neighbour.destination;
    entry.interfaceIndex = neighbour.interfaceIndex;
    if (HoldsAddress(neighbour) && (neighbour.state & NUD_NOARP) == 0) {
        entry.state = NeighbourEntry::State::kAnswering;
        entry.hardwareAddress = neighbour.hardwareAddress;
    } else if (neighbour.state == NUD_FAILED) {
        entry.state = NeighbourEntry::State::kFailed;
    }
    return entry;
}

}  // namespace varnock::linux_backend
