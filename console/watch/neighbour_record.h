#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "console/text/utc_text.h"
#include "console/watch/event_totals.h"
#include "console/watch/watch_event.h"
#include "lookup/hardware_address_text.h"
#include "lookup/ip_address.h"
#include "lookup/neighbour_entry.h"

namespace varnock::console {

// What the watch has seen of one address on one interface.
struct SeenNeighbour {
    IpAddress address;
    std::string interfaceName;
    HardwareAddressBytes hardwareAddress;
    WallClock::time_point firstSeen;
    WallClock::time_point lastSeen;
    bool answering = true;  // false once the kernel gave up on it
};

// What a table read again after lost notifications (NeighbourObserver::
// Lost) came to.
struct Reconciliation {
    std::vector<WatchEvent> events;
    // Answering in the record, gone from the table: the kernel removed them
    // while nobody listened (an administrator, garbage collection of an entry
    // that failed or went unused). Whether they still answer is unknown until
    // they are asked again.
    std::vector<SeenNeighbour> vanished;
};

// The neighbours seen so far and what is worth telling of a change: a new
// neighbour, a changed hardware address, one that stopped answering, one
// hardware address answering for several IPv4 addresses on a link (a proxy,
// or someone claiming the gateway). The kernel's routine changes (an entry
// going stale and being confirmed again) tell nothing.
class NeighbourRecord {
public:
    // The record as a state file kept it: nothing in it is new again, and
    // the events told are counted on from `told`.
    void Restore(std::vector<SeenNeighbour> seen, EventTotals told = {});

    // What `entry` (on the interface named `interfaceName`) says, at `now`.
    std::vector<WatchEvent> Apply(const NeighbourEntry& entry, const std::string& interfaceName,
                                  WallClock::time_point now);

    // The stops that are certain by `now`. An administrator's removal of an
    // entry (ip neigh flush) also marks it FAILED, then removes it at once: a
    // stop is told only when no removal followed within kRemovalGrace.
    std::vector<WatchEvent> Settle(WallClock::time_point now);
    static constexpr std::chrono::milliseconds kRemovalGrace{200};

    // Compares `table` (the whole table, or only `onlyInterface`'s, named
    // by index) with the record: every entry in it is applied, and what the
    // record holds as answering (on `onlyInterface`, when given) but the
    // table lacks is returned as vanished, untouched.
    Reconciliation Reconcile(const std::vector<NeighbourEntry>& table,
                             const std::function<std::string(std::uint32_t)>& interfaceNameOf,
                             const std::optional<std::string>& onlyInterface,
                             WallClock::time_point now);

    // Drops every neighbour last seen before `cutoff`; how many went.
    std::size_t Forget(WallClock::time_point cutoff);

    // The most neighbours the record keeps: past it, the one seen least
    // lately makes room for a new one (of those seen at the same time, the
    // first by interface name, then address).
    static constexpr std::size_t kMostNeighbours = 10'000;

    std::size_t Size() const { return seen_.size(); }
    std::vector<SeenNeighbour> Seen() const;

    // The events the watch told (after the burst gate), counted into the
    // record (it has changed: the count is saved with it).
    void CountTold(const WatchEvent& event) {
        told_.Count(event);
        ++version_;
    }
    const EventTotals& Told() const { return told_; }

    // Grows with every change of what the record holds: a writer that keeps
    // the version it last wrote knows whether it has anything new to write.
    std::uint64_t Version() const { return version_; }

private:
    using Key = std::tuple<std::string, int, std::array<std::uint8_t, 16>>;
    static Key KeyOf(const std::string& interfaceName, const IpAddress& address);
    // The IPv4 addresses answering with one hardware address on one link.
    using SharedKey = std::pair<std::string, HardwareAddressBytes>;

    void Share(const SeenNeighbour& seen, WallClock::time_point now,
               std::vector<WatchEvent>& events);
    void Unshare(const SeenNeighbour& seen);
    void MakeRoom();

    std::map<Key, SeenNeighbour> seen_;
    std::map<SharedKey, std::vector<IpAddress>> shared_;
    std::map<Key, WallClock::time_point> pendingStops_;  // FAILED at, not yet certain
    EventTotals told_;
    std::uint64_t version_ = 0;
};

}  // namespace varnock::console
