#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "console/lookups/address_lookup.h"
#include "lookup/neighbour_engine.h"

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

// A run of this many addresses or fewer does not ask the table for room:
// the reserve that the room leaves for the machine's own traffic covers it.
inline constexpr std::size_t kUngatedLookups = 16;
// The table's room is asked again after this, not before every start.
inline constexpr std::chrono::milliseconds kRoomLifetime{100};

struct LookupLimits {
    std::size_t maxInFlight = kMostInFlight;
    std::chrono::microseconds startInterval = kStartInterval;
    // How many more entries of a family the neighbour table takes
    // (a NeighbourTableGauge); no function, or nothing from it: no limit to
    // heed.
    NeighbourTableGauge tableRoom;
};

struct LookupProgress {
    std::size_t done = 0;
    std::size_t answered = 0;
};

// One run of lookups on an engine that its owner runs: Advance starts what
// may start and hands over the results that became final, in order; between
// calls the engine's Run (or a feed that runs it) delivers the answers.
// Starts and limits are those of LookUpInOrder. However the run ends, the
// lookups it left in flight are cancelled: nothing more is sent for them.
class LookupRun {
public:
    using Clock = NeighbourEngine::Clock;

    // `targets` and `settings` must outlive the run.
    LookupRun(std::span<const Target> targets, const LookupSettings& settings,
              NeighbourEngine& engine, const LookupLimits& limits);
    LookupRun(const LookupRun&) = delete;
    LookupRun& operator=(const LookupRun&) = delete;
    ~LookupRun();

    // True once every result has been handed to `deliver`.
    bool Advance(const std::function<void(AddressResult&&)>& deliver);
    // When Advance may start the next lookup; Clock::time_point::max() when
    // only answers can move the run on.
    Clock::time_point NextStart();
    const LookupProgress& Progress() const { return progress_; }

private:
    void StartWhatMay();
    // How many lookups may be in flight now, the table's room of the next
    // address's family considered.
    std::size_t MostInFlightNow();
    void Keep(std::size_t index, AddressResult&& result);

    const std::span<const Target> targets_;
    const LookupSettings& settings_;
    NeighbourEngine& engine_;
    const LookupLimits& limits_;
    const bool gated_;

    std::size_t next_ = 0;
    std::size_t delivered_ = 0;
    Clock::time_point nextStart_{};
    std::map<NeighbourEngine::Ticket, std::size_t> inFlight_;
    std::vector<std::optional<AddressResult>> results_;
    LookupProgress progress_;
    std::map<IpAddress::Family, std::optional<std::size_t>> room_;
    std::map<IpAddress::Family, Clock::time_point> roomChecked_;
};

// Looks up every target through `engine`, at most limits.maxInFlight at
// once, each started no sooner than limits.startInterval after the one
// before, and, while the table of the address's family has no room (a
// lookup of an address without an entry makes one, and past the table's
// limit the kernel evicts the machine's other entries or refuses new ones),
// none: the run waits for the kernel to collect entries. The results reach `deliver` in
// the order of `targets`, each as soon as it and all before it are final;
// `waiting` hears how far the run is after each batch of results and at
// least every 100 ms in between. Both are called on the calling thread.
// When either throws, every lookup in flight is cancelled at once (nothing
// more is sent) and the exception propagates.
void LookUpInOrder(std::span<const Target> targets, const LookupSettings& settings,
                   NeighbourEngine& engine, const LookupLimits& limits,
                   const std::function<void(AddressResult&&)>& deliver,
                   const std::function<void(const LookupProgress&)>& waiting);

}  // namespace varnock::console
