#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "lookup/hardware_address_text.h"
#include "lookup/ip_address.h"
#include "lookup/neighbour_feed.h"

namespace varnock::console {

using WallClock = std::chrono::system_clock;

// What the watch has seen of one address on one interface.
struct SeenNeighbour {
    IpAddress address;
    std::string interfaceName;
    HardwareAddressBytes hardwareAddress;
    WallClock::time_point firstSeen;
    WallClock::time_point lastSeen;
    bool answering = true;  // false once the kernel gave up on it
};

struct WatchEvent {
    enum class Kind {
        kNew,      // an address answers that the record has never seen
        kChanged,  // an address answers with another hardware address
        kStopped,  // an address that answered no longer does
        kMany,     // one hardware address now answers for several IPv4 addresses
    };
    Kind kind = Kind::kNew;
    WallClock::time_point time;
    std::string interfaceName;
    IpAddress address;                     // all but kMany
    HardwareAddressBytes hardwareAddress;  // the one answering now (kMany: the shared one)
    HardwareAddressBytes previous;         // kChanged: the one before
    std::vector<IpAddress> addresses;      // kMany: every address it answers for
};

// The neighbours seen so far and what is worth telling of a change: a new
// neighbour, a changed hardware address, one that stopped answering, one
// hardware address answering for several IPv4 addresses on a link (a proxy,
// or someone claiming the gateway). The kernel's routine changes (an entry
// going stale and being confirmed again) tell nothing.
class NeighbourRecord {
public:
    // The record as a state file kept it: nothing in it is new again.
    void Restore(std::vector<SeenNeighbour> seen);

    // What `entry` (on the interface named `interfaceName`) says, at `now`.
    std::vector<WatchEvent> Apply(const NeighbourEntry& entry, const std::string& interfaceName,
                                  WallClock::time_point now);

    // The stops that are certain by `now`. An administrator's removal of an
    // entry (ip neigh flush) also marks it FAILED, then removes it at once: a
    // stop is told only when no removal followed within kRemovalGrace.
    std::vector<WatchEvent> Settle(WallClock::time_point now);
    static constexpr std::chrono::milliseconds kRemovalGrace{200};

    std::vector<SeenNeighbour> Seen() const;

    // Whether anything changed since the last call.
    bool TakeChanged();

private:
    using Key = std::tuple<std::string, int, std::array<std::uint8_t, 16>>;
    static Key KeyOf(const std::string& interfaceName, const IpAddress& address);
    // The IPv4 addresses answering with one hardware address on one link.
    using SharedKey = std::pair<std::string, HardwareAddressBytes>;

    void Share(const SeenNeighbour& seen, WallClock::time_point now,
               std::vector<WatchEvent>& events);
    void Unshare(const SeenNeighbour& seen);

    std::map<Key, SeenNeighbour> seen_;
    std::map<SharedKey, std::vector<IpAddress>> shared_;
    std::map<Key, WallClock::time_point> pendingStops_;  // FAILED at, not yet certain
    bool changed_ = false;
};

}  // namespace varnock::console
