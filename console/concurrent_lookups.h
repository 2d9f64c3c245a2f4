#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "console/address_lookup.h"
#include "lookup/neighbour_resolver.h"

namespace varnock::console {

// A few hundred resolutions in flight: a /24 with nobody home takes one
// give-up time, and a /16 keeps the kernel probing no more than this many
// neighbours at once (with the default 3 probes in 3 s, some 85 new
// addresses and 256 ARP requests a second), well under the neighbour
// table's own thresholds (gc_thresh2 512).
inline constexpr std::size_t kMostInFlight = 256;
// A lookup starts at most this often, so a range does not hit the link as
// one burst.
inline constexpr std::chrono::microseconds kStartInterval{1000};
// Each lookup in flight holds two netlink sockets and, for a moment, a
// datagram socket.
inline constexpr std::size_t kDescriptorsPerLookup = 3;
// Kept free for the rest of the program (the vendor list, the streams).
inline constexpr std::size_t kSpareDescriptors = 8;

// A start that finds the neighbour table full waits for room this long at
// most (the kernel collects entries that did not answer every 15 s or so),
// then goes ahead.
inline constexpr std::chrono::seconds kLongestTableWait{60};

// A run of this many addresses or fewer does not ask the table for room:
// the reserve that the room leaves for the machine's own traffic covers it.
inline constexpr std::size_t kUngatedLookups = 16;

struct LookupLimits {
    std::size_t maxInFlight = kMostInFlight;
    std::chrono::microseconds startInterval = kStartInterval;
    // How many more entries the neighbour table takes (NeighbourTableRoom);
    // no function, or nothing from it: no limit to heed.
    std::function<std::optional<std::size_t>()> tableRoom;
};

// How many lookups may be in flight when the process may open
// `openFileRoom` more descriptors (none given: no such limit). At least one,
// so that a tight limit makes the run slow, not impossible.
std::size_t MostInFlightFor(std::optional<std::uint64_t> openFileRoom);

struct LookupProgress {
    std::size_t done = 0;
    std::size_t answered = 0;
};

// Makes the resolver one worker uses for all its lookups.
using ResolverMaker = std::function<std::unique_ptr<NeighbourResolver>()>;

// Looks up every target, at most limits.maxInFlight at once, each started
// no sooner than limits.startInterval after the one before and only while
// limits.tableRoom has room (a lookup of an address without an entry makes
// one, and past the table's limit the kernel evicts the machine's other
// entries or refuses new ones), and hands the
// results to `deliver` in the order of `addresses`, each as soon as it and
// all before it are done. `waiting` hears how far the run is after each
// batch of results and at least every 100 ms in between. Both are called on
// the calling thread only. A lookup that throws gives its address a result
// with the failure as its reason. When `deliver` or `waiting` throws, no
// further lookup starts; those in flight are waited for.
void LookUpInOrder(std::span<const Target> targets, const LookupSettings& settings,
                   const ResolverMaker& makeResolver, const LookupLimits& limits,
                   const std::function<void(AddressResult&&)>& deliver,
                   const std::function<void(const LookupProgress&)>& waiting);

}  // namespace varnock::console
