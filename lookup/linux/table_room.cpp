#include "lookup/linux/table_room.h"

#include <algorithm>

namespace varnock::linux_backend {
namespace {

// Left for the machine's own lookups: an eighth of the soft limit (64 of
// the default 512).
constexpr std::uint32_t kReserveShare = 8;
// The kernel collects by force at most this often at the soft limit.
constexpr std::chrono::seconds kForcedCollectionPause{5};
// The room given, past the reserve, while below the limit.
constexpr std::size_t kTrickle = 1;
// Room granted on the first proof.
constexpr std::size_t kFirstProvenRoom = 4;
// A table without room whose count has not fallen for this long is not
// waiting for the kernel's collection: its periodic pass, every
// base_reachable_time / 2 (15 s by default), drops failed entries at once
// and others unused for gc_staletime (60 s).
constexpr std::chrono::seconds kNothingCollected{90};

}  // namespace

std::size_t TableRoomGauge::Room(const rtnl::NeighbourTable& table, std::uint32_t ownPermanent,
                                 Clock::time_point now) {
    // gc_thresh2 may be set above gc_thresh3; the lower one binds.
    const std::uint32_t limit = std::min(table.softLimit, table.hardLimit);
    const std::uint32_t usable = limit - limit / kReserveShare;
    const auto roomBeside = [&](std::uint32_t uncounted) -> std::size_t {
        const std::uint32_t counted = table.entries > uncounted ? table.entries - uncounted : 0;
        return usable > counted ? usable - counted : 0;
    };
    const std::size_t visible = roomBeside(ownPermanent);

    if (!table.counters) {
        last_.reset();
        return visible;  // the kernel's signals are missing: only what the count shows
    }
    const auto& counters = *table.counters;
    if (!last_) {
        unaccounted_ = visible == 0;
    } else if (unaccounted_) {
        if (counters.forcedCollections != last_->forcedCollections ||
            counters.refusedFull != last_->refusedFull) {
            // The collectable entries reached the limit: the rest of the
            // count is what the kernel never collects, less what was made
            // since the last reading, to err on the side of less room. (Told
            // again at each such collection: those entries may go.)
            const std::uint64_t made = counters.allocations - last_->allocations;
            const std::uint64_t above = table.entries > limit ? table.entries - limit : 0;
            uncollectable_ = static_cast<std::uint32_t>(above > made ? above - made : 0);
            proven_ = 0;
        } else if (!uncollectable_ && counters.allocations != last_->allocations &&
                   counters.sinceForcedCollection > kForcedCollectionPause &&
                   last_->sinceForcedCollection > kForcedCollectionPause) {
            // Entries were made, the kernel was free to collect, and did
            // not need to: what it may collect is below its soft limit.
            proven_ = std::min<std::size_t>(std::max(kFirstProvenRoom, 2 * proven_), usable);
        }
    }
    last_ = counters;
    const std::uint32_t uncounted = std::max(ownPermanent, uncollectable_.value_or(0));
    std::size_t room = std::max({visible, roomBeside(uncounted), proven_});
    // Past the reserve and short of the limit itself, one lookup at a time:
    // a run goes on at the pace the kernel frees entries, and never makes it
    // collect by force.
    const std::uint32_t counted = table.entries > uncounted ? table.entries - uncounted : 0;
    if (room == 0 && counted + kTrickle < limit) {
        room = kTrickle;
    }
    if (room == 0 && !unaccounted_ && NothingCollectedFor(table.entries, now)) {
        unaccounted_ = true;
    }
    // At or past the limit with entries we cannot account for: one at a
    // time all the same, for the kernel to tell.
    if (room == 0 && unaccounted_) {
        room = kTrickle;
    }
    if (room > 0) {
        fullSince_.reset();
    }
    return room;
}

bool TableRoomGauge::NothingCollectedFor(std::uint32_t entries, Clock::time_point now) {
    if (!fullSince_ || entries < fullFrom_) {
        fullSince_ = now;
        fullFrom_ = entries;
        return false;
    }
    return now - *fullSince_ >= kNothingCollected;
}

}  // namespace varnock::linux_backend
