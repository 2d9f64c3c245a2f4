#include "lookup/neighbour_snapshot.h"

#include <map>
#include <tuple>

namespace varnock {
namespace {

using Key = std::tuple<std::uint32_t, bool, std::array<std::uint8_t, 16>>;

Key KeyOf(const NeighbourEntry& entry) {
    return {entry.interfaceIndex, entry.address.IsV6(), entry.address.bytes};
}

}  // namespace

std::vector<NeighbourEntry> ChangesBetween(const std::vector<NeighbourEntry>& before,
                                           const std::vector<NeighbourEntry>& after) {
    std::map<Key, const NeighbourEntry*> old;
    for (const NeighbourEntry& entry : before) {
        old[KeyOf(entry)] = &entry;
    }
    std::vector<NeighbourEntry> changes;
    for (const NeighbourEntry& entry : after) {
        const auto found = old.find(KeyOf(entry));
        if (found == old.end() || found->second->state != entry.state ||
            found->second->hardwareAddress != entry.hardwareAddress) {
            changes.push_back(entry);
        }
        if (found != old.end()) {
            old.erase(found);
        }
    }
    for (const auto& [key, entry] : old) {
        NeighbourEntry removed = *entry;
        removed.state = NeighbourEntry::State::kOther;
        removed.hardwareAddress.clear();
        changes.push_back(std::move(removed));
    }
    return changes;
}

}  // namespace varnock
