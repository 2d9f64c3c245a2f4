#include "console/watch/neighbour_record.h"

#include <algorithm>
#include <set>
#include <utility>

namespace varnock::console {

NeighbourRecord::Key NeighbourRecord::KeyOf(const std::string& interfaceName,
                                            const IpAddress& address) {
    return {interfaceName, address.IsV6() ? 6 : 4, address.bytes};
}

void NeighbourRecord::Restore(std::vector<SeenNeighbour> seen) {
    std::vector<WatchEvent> ignored;
    for (SeenNeighbour& neighbour : seen) {
        const Key key = KeyOf(neighbour.interfaceName, neighbour.address);
        if (neighbour.answering) {
            Share(neighbour, neighbour.lastSeen, ignored);
        }
        seen_[key] = std::move(neighbour);
    }
}

std::vector<WatchEvent> NeighbourRecord::Apply(const NeighbourEntry& entry,
                                               const std::string& interfaceName,
                                               WallClock::time_point now) {
    std::vector<WatchEvent> events;
    const Key key = KeyOf(interfaceName, entry.address);
    const auto found = seen_.find(key);
    auto event = [&](WatchEvent::Kind kind, const SeenNeighbour& seen) {
        WatchEvent told;
        told.kind = kind;
        told.time = now;
        told.interfaceName = interfaceName;
        told.address = entry.address;
        told.hardwareAddress = seen.hardwareAddress;
        told.firstSeen = seen.firstSeen;
        told.lastSeen = now;
        return told;
    };
    if (entry.state == NeighbourEntry::State::kFailed) {
        if (found != seen_.end() && found->second.answering) {
            pendingStops_.try_emplace(key, now);
        }
        return events;
    }
    // Removed, or answering again: whatever FAILED came before was no stop.
    pendingStops_.erase(key);
    if (entry.state != NeighbourEntry::State::kAnswering || entry.hardwareAddress.empty()) {
        return events;
    }
    if (found == seen_.end()) {
        MakeRoom();
        SeenNeighbour seen{entry.address, interfaceName, entry.hardwareAddress, now, now, true};
        events.push_back(event(WatchEvent::Kind::kNew, seen));
        Share(seen, now, events);
        seen_.emplace(key, std::move(seen));
        ++version_;
        return events;
    }
    SeenNeighbour& seen = found->second;
    if (seen.hardwareAddress != entry.hardwareAddress) {
        if (seen.answering) {
            Unshare(seen);
        }
        WatchEvent changedEvent = event(WatchEvent::Kind::kChanged, seen);
        changedEvent.previous = seen.hardwareAddress;
        changedEvent.hardwareAddress = entry.hardwareAddress;
        events.push_back(std::move(changedEvent));
        seen.hardwareAddress = entry.hardwareAddress;
        seen.answering = true;
        Share(seen, now, events);
    } else if (!seen.answering) {
        events.push_back(event(WatchEvent::Kind::kBack, seen));
        seen.answering = true;
        Share(seen, now, events);
    }
    seen.lastSeen = now;
    ++version_;
    return events;
}

std::vector<WatchEvent> NeighbourRecord::Settle(WallClock::time_point now) {
    std::vector<WatchEvent> events;
    for (auto pending = pendingStops_.begin(); pending != pendingStops_.end();) {
        if (now - pending->second < kRemovalGrace) {
            ++pending;
            continue;
        }
        SeenNeighbour& seen = seen_.at(pending->first);
        seen.answering = false;
        Unshare(seen);
        WatchEvent stopped;
        stopped.kind = WatchEvent::Kind::kStopped;
        stopped.time = pending->second;
        stopped.interfaceName = seen.interfaceName;
        stopped.address = seen.address;
        stopped.hardwareAddress = seen.hardwareAddress;
        stopped.firstSeen = seen.firstSeen;
        stopped.lastSeen = seen.lastSeen;
        events.push_back(std::move(stopped));
        ++version_;
        pending = pendingStops_.erase(pending);
    }
    return events;
}

void NeighbourRecord::Share(const SeenNeighbour& seen, WallClock::time_point now,
                            std::vector<WatchEvent>& events) {
    // Hosts routinely hold several IPv6 addresses (link-local, global,
    // temporary ones); only IPv4 addresses sharing one hardware address are
    // worth telling.
    if (seen.address.IsV6()) {
        return;
    }
    auto& addresses = shared_[{seen.interfaceName, seen.hardwareAddress}];
    if (std::find(addresses.begin(), addresses.end(), seen.address) != addresses.end()) {
        return;
    }
    addresses.push_back(seen.address);
    if (addresses.size() == 2) {
        WatchEvent many;
        many.kind = WatchEvent::Kind::kMany;
        many.time = now;
        many.interfaceName = seen.interfaceName;
        many.hardwareAddress = seen.hardwareAddress;
        many.addresses = addresses;
        // Since the address that made it many was first seen.
        many.firstSeen = seen.firstSeen;
        many.lastSeen = now;
        events.push_back(std::move(many));
    }
}

void NeighbourRecord::Unshare(const SeenNeighbour& seen) {
    const auto found = shared_.find({seen.interfaceName, seen.hardwareAddress});
    if (found == shared_.end()) {
        return;
    }
    auto& addresses = found->second;
    addresses.erase(std::remove(addresses.begin(), addresses.end(), seen.address), addresses.end());
    if (addresses.empty()) {
        shared_.erase(found);
    }
}

Reconciliation NeighbourRecord::Reconcile(
    const std::vector<NeighbourEntry>& table,
    const std::function<std::string(std::uint32_t)>& interfaceNameOf,
    const std::optional<std::string>& onlyInterface, WallClock::time_point now) {
    Reconciliation result;
    std::set<Key> present;
    for (const NeighbourEntry& entry : table) {
        const std::string name = interfaceNameOf(entry.interfaceIndex);
        present.insert(KeyOf(name, entry.address));
        auto events = Apply(entry, name, now);
        result.events.insert(result.events.end(), events.begin(), events.end());
    }
    for (const auto& [key, seen] : seen_) {
        if (seen.answering && !present.contains(key) && !pendingStops_.contains(key) &&
            (!onlyInterface || seen.interfaceName == *onlyInterface)) {
            result.vanished.push_back(seen);
        }
    }
    return result;
}

std::size_t NeighbourRecord::Forget(WallClock::time_point cutoff) {
    std::size_t dropped = 0;
    for (auto it = seen_.begin(); it != seen_.end();) {
        if (it->second.lastSeen >= cutoff) {
            ++it;
            continue;
        }
        if (it->second.answering) {
            Unshare(it->second);
        }
        pendingStops_.erase(it->first);
        it = seen_.erase(it);
        ++dropped;
    }
    version_ += dropped > 0 ? 1 : 0;
    return dropped;
}

void NeighbourRecord::MakeRoom() {
    if (seen_.size() < kMostNeighbours) {
        return;
    }
    // Exactly one goes: times tie often (a restored record holds whole
    // seconds, a batch shares one time), and the key (interface, family,
    // address) breaks the tie the same way every time.
    const auto oldest =
        std::min_element(seen_.begin(), seen_.end(), [](const auto& a, const auto& b) {
            return std::tie(a.second.lastSeen, a.first) < std::tie(b.second.lastSeen, b.first);
        });
    if (oldest->second.answering) {
        Unshare(oldest->second);
    }
    pendingStops_.erase(oldest->first);
    seen_.erase(oldest);
    ++version_;
}

std::vector<SeenNeighbour> NeighbourRecord::Seen() const {
    std::vector<SeenNeighbour> seen;
    seen.reserve(seen_.size());
    for (const auto& [key, neighbour] : seen_) {
        seen.push_back(neighbour);
    }
    return seen;
}

}  // namespace varnock::console
