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
// count from then on. A table that filled up under our own lookups is not
// probed: its entries are ours and the kernel's, and the run keeps below
// the limit.
class TableRoomGauge {
public:
    // The room now, given the table as just read and the permanent entries
    // of this namespace.
    std::size_t Room(const rtnl::NeighbourTable& table, std::uint32_t ownPermanent);

private:
    std::optional<rtnl::NeighbourTable::Counters> last_;
    bool fullAtFirstSight_ = false;
    std::size_t proven_ = 0;
    // The entries the count holds that the kernel never collects, once a
    // forced collection told it.
    std::optional<std::uint32_t> uncollectable_;
};

}  // namespace varnock::linux_backend
