// The engine's watch of the neighbour table: the changes the kernel tells on
// the engine's one subscription, and a whole reading of the table when
// notifications were lost.

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>

#include <chrono>
#include <stdexcept>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/neighbour_states.h"
#include "lookup/linux/netlink_neighbour_engine.h"

namespace varnock::linux_backend {
namespace {

constexpr std::chrono::seconds kTableDeadline{5};
// Queued notifications dropped at most after a loss (each read is one
// datagram): a table that churns without end still gets its reading.
constexpr int kMostDropped = 100'000;

class EngineTableFeed final : public NeighbourFeed {
public:
    explicit EngineTableFeed(NetlinkNeighbourEngine& engine) : engine_(engine) {}

    std::vector<NeighbourEntry> Table() override { return engine_.WatchedTable(); }
    NeighbourChanges Next(std::chrono::milliseconds wait) override {
        return engine_.RunWatching(NeighbourEngine::Clock::now() + wait);
    }

private:
    NetlinkNeighbourEngine& engine_;
};

}  // namespace

std::unique_ptr<NeighbourFeed> NetlinkNeighbourEngine::WatchTable(std::uint32_t interfaceIndex) {
    if (!notifications_) {
        return nullptr;
    }
    if (watch_) {
        throw std::logic_error("the engine's table is watched already");
    }
    watch_.emplace();
    watch_->interfaceIndex = interfaceIndex;
    return std::make_unique<EngineTableFeed>(*this);
}

NeighbourChanges NetlinkNeighbourEngine::RunWatching(Clock::time_point until) {
    RunUntil(until, true);
    if (watch_->lost) {
        watch_->lost = false;
        return {WatchedTable(), true};
    }
    return {std::exchange(watch_->changes, {}), false};
}

std::vector<NeighbourEntry> NetlinkNeighbourEngine::WatchedTable() {
    std::vector<NeighbourEntry> entries;
    requests_.SetDeadline(Clock::now() + kTableDeadline);
    DumpWhole(
        requests_, rtnl::BuildNeighbourDump, [&] { entries.clear(); },
        [&](const nlmsghdr& message) {
            if (const auto neighbour = rtnl::ParseNeighbour(message)) {
                if (auto entry = Watched(*neighbour)) {
                    entries.push_back(std::move(*entry));
                }
            }
        },
        "neighbour table");
    return entries;
}

std::optional<NeighbourEntry> NetlinkNeighbourEngine::Watched(const rtnl::Neighbour& neighbour) {
    // Multicast and broadcast entries are the kernel's own bookkeeping.
    if (neighbour.destination.IsMulticast() ||
        (watch_->interfaceIndex != 0 && neighbour.interfaceIndex != watch_->interfaceIndex)) {
        return std::nullopt;
    }
    // Only interfaces that resolve neighbours by ARP or neighbour discovery
    // (asked once per interface).
    auto known = watch_->resolves.find(neighbour.interfaceIndex);
    if (known == watch_->resolves.end()) {
        const auto facts = AskInterface(requests_.Fd(), neighbour.interfaceIndex);
        known = watch_->resolves.emplace(neighbour.interfaceIndex, facts && facts->usesArp).first;
    }
    if (!known->second) {
        return std::nullopt;
    }
    NeighbourEntry entry;
    entry.address = neighbour.destination;
    entry.interfaceIndex = neighbour.interfaceIndex;
    if (HoldsAddress(neighbour) && (neighbour.state & NUD_NOARP) == 0) {
        entry.state = NeighbourEntry::State::kAnswering;
        entry.hardwareAddress = neighbour.hardwareAddress;
    } else if (neighbour.state == NUD_FAILED) {
        entry.state = NeighbourEntry::State::kFailed;
    }
    return entry;
}

void NetlinkNeighbourEngine::DropQueuedNotifications() {
    for (int dropped = 0; dropped < kMostDropped; ++dropped) {
        const auto stale = notifications_->ReceiveNotifications();
        if (stale.bytes.empty() && !stale.lost) {
            return;
        }
    }
}

}  // namespace varnock::linux_backend

namespace varnock {

std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(NeighbourEngine& engine,
                                                       std::uint32_t interfaceIndex) {
    // The kernel tells only a subscriber: an engine that reads the table as
    // it stands has nothing to share, and there is then no feed.
    return engine.WatchTable(interfaceIndex);
}

}  // namespace varnock
