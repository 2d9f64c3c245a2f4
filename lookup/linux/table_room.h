#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {

// Judges how many more entries one family's neighbour table takes, from
// successive readings of it.
//
// The kernel's count is the machine's, over every namespace, and includes
// permanent entries, which the kernel neither collects nor counts against
// its limits. Those of this namespace are subtracted; those of another
// (a router's, a container host's) cannot be seen, so a table may look full
// that is not. The kernel tells the truth another way: once the entries it
// may collect pass the soft limit, the next new entry makes it collect by
// force (unless it did so in the last 5 s), and past the hard limit it
// refuses new ones. So when the table looked full before anything was
// asked, new entries made with neither happening prove room the count does
// not show; that room is granted, doubling with each proof, until the
// kernel collects by force or refuses. The count then stood at the soft
// limit plus what it cannot collect, and that much is left out of the
// count from then on. While nothing is known yet, and whenever the room
// comes to nothing, such a table lets one lookup at a time through: only an
// entry made can prove room, so the kernel is given one to tell by (made
// quietly, collected by force or refused), and a run never waits for a
// proof that nothing else would bring (permanent entries elsewhere beyond
// the soft limit, which never go).
//
// A table that filled up under our own lookups is not probed: its entries
// are ours and the kernel's, it collects them in its periodic pass, and the
// run keeps below the limit. Unless nothing is collected for a long while:
// then the entries that fill it are not ours to wait for (another namespace
// filled it since the first reading, during a long watch say), and it is
// probed as above.
class TableRoomGauge {
public:
    using Clock = std::chrono::steady_clock;

    // The room at `now`, given the table as just read and the permanent
    // entries of this namespace.
    std::size_t Room(const rtnl::NeighbourTable& table, std::uint32_t ownPermanent,
                     Clock::time_point now);

private:
    // Whether a table without room has stayed so, its count not falling,
    // long enough that waiting for the kernel to collect is in vain.
    bool NothingCollectedFor(std::uint32_t entries, Clock::time_point now);

    std::optional<rtnl::NeighbourTable::Counters> last_;
    // The table is full of entries we cannot account for: probed.
    bool unaccounted_ = false;
    std::size_t proven_ = 0;
    // The entries the count holds that the kernel never collects, once a
    // forced collection told it.
    std::optional<std::uint32_t> uncollectable_;
    // Since when, and from what count, the table has had no room.
    std::optional<Clock::time_point> fullSince_;
    std::uint32_t fullFrom_ = 0;
};

}  // namespace varnock::linux_backend
