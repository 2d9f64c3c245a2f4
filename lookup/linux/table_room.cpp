#include "lookup/linux/table_room.h"

#include <algorithm>

namespace varnock::linux_backend {
namespace {

// Left for the machine's own lookups: an eighth of the soft limit (64 of
// the default 512).
constexpr std::uint32_t kReserveShare = 8;
// The kernel collects by force at most this often at the soft limit.
constexpr std::chrono::seconds kForcedCollectionPause{5};
// Room granted on the first proof.
constexpr std::size_t kFirstProvenRoom = 4;

}  // namespace

std::size_t TableRoomGauge::Room(const rtnl::NeighbourTable& table, std::uint32_t ownPermanent) {
    const std::uint32_t counted = table.entries > ownPermanent ? table.entries - ownPermanent : 0;
    // gc_thresh2 may be set above gc_thresh3; the lower one binds.
    const std::uint32_t limit = std::min(table.softLimit, table.hardLimit);
    const std::uint32_t usable = limit - limit / kReserveShare;
    const std::size_t visible = usable > counted ? usable - counted : 0;

    if (!table.counters) {
        last_.reset();
        proven_ = 0;
        return visible;
    }
    const auto& now = *table.counters;
    if (last_) {
        if (now.forcedCollections != last_->forcedCollections ||
            now.refusedFull != last_->refusedFull) {
            proven_ = 0;
        } else if (now.allocations != last_->allocations &&
                   now.sinceForcedCollection > kForcedCollectionPause &&
                   last_->sinceForcedCollection > kForcedCollectionPause) {
            // Entries were made, the kernel was free to collect, and did
            // not need to: what it may collect is below its soft limit.
            proven_ = std::min<std::size_t>(std::max(kFirstProvenRoom, 2 * proven_), usable);
        }
    }
    last_ = now;
    return std::max(visible, proven_);
}

}  // namespace varnock::linux_backend
