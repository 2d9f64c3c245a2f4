// The Linux side of lookup/neighbour_feed.h: the kernel's neighbour
// notifications, and a dump of its table when notifications were lost.

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <system_error>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/neighbour_states.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/neighbour_feed.h"

namespace varnock {
namespace {

constexpr std::chrono::seconds kTableDeadline{5};
// Queued notifications dropped at most after a loss (each read is one
// datagram); a table that churns without end still gets its dump.
constexpr int kMostDrained = 100'000;

class NetlinkNeighbourFeed final : public NeighbourFeed {
public:
    explicit NetlinkNeighbourFeed(std::uint32_t interfaceIndex)
        : notifications_(linux_backend::NetlinkSocket::Mode::kNotifications, RTMGRP_NEIGH),
          requests_(linux_backend::NetlinkSocket::Mode::kRequests),
          interfaceIndex_(interfaceIndex) {}

    std::vector<NeighbourEntry> Table() override {
        std::vector<NeighbourEntry> entries;
        requests_.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
        linux_backend::DumpWhole(
            requests_, rtnl::BuildNeighbourDump, [&] { entries.clear(); },
            [&](const nlmsghdr& message) { Take(message, entries); }, "neighbour table");
        return entries;
    }

    NeighbourChanges Next(std::chrono::milliseconds wait) override {
        NeighbourChanges changes;
        pollfd readable{notifications_.Fd(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(wait.count())) < 0) {
            if (errno == EINTR) {
                return changes;  // a signal: the caller looks why
            }
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        for (;;) {
            const auto batch = notifications_.ReceiveNotifications();
            if (batch.lost) {
                // What was dropped is unknown: the table as it stands says.
                // What is still queued is older than that reading: applied
                // after it, it would undo it (entries long removed told as
                // new), so it goes first, losses and all.
                for (int drained = 0; drained < kMostDrained; ++drained) {
                    const auto stale = notifications_.ReceiveNotifications();
                    if (stale.bytes.empty() && !stale.lost) {
                        break;
                    }
                }
                return {Table(), true};
            }
            if (batch.bytes.empty()) {
                return changes;
            }
            rtnl::ForEachMessage(batch.bytes, 0, 0,
                                 [&](const nlmsghdr& message) { Take(message, changes.entries); });
        }
    }

private:
    void Take(const nlmsghdr& message, std::vector<NeighbourEntry>& entries) {
        const auto neighbour = rtnl::ParseNeighbour(message);
        // Multicast and broadcast entries are the kernel's own bookkeeping.
        if (!neighbour || neighbour->destination.IsMulticast() ||
            (interfaceIndex_ != 0 && neighbour->interfaceIndex != interfaceIndex_) ||
            !ResolvesNeighbours(neighbour->interfaceIndex)) {
            return;
        }
        NeighbourEntry entry;
        entry.address = neighbour->destination;
        entry.interfaceIndex = neighbour->interfaceIndex;
        if (linux_backend::HoldsAddress(*neighbour) && (neighbour->state & NUD_NOARP) == 0) {
            entry.state = NeighbourEntry::State::kAnswering;
            entry.hardwareAddress = neighbour->hardwareAddress;
        } else if (neighbour->state == NUD_FAILED) {
            entry.state = NeighbourEntry::State::kFailed;
        }
        entries.push_back(std::move(entry));
    }

    // Whether the interface resolves neighbours by ARP or neighbour
    // discovery (asked once per interface).
    bool ResolvesNeighbours(std::uint32_t index) {
        const auto known = resolves_.find(index);
        if (known != resolves_.end()) {
            return known->second;
        }
        const auto facts = linux_backend::AskInterface(requests_.Fd(), index);
        const bool resolves = facts && facts->usesArp;
        resolves_.emplace(index, resolves);
        return resolves;
    }

    linux_backend::NetlinkSocket notifications_;
    linux_backend::NetlinkSocket requests_;
    std::uint32_t interfaceIndex_;
    std::map<std::uint32_t, bool> resolves_;
};

}  // namespace

std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(std::uint32_t interfaceIndex) {
    return std::make_unique<NetlinkNeighbourFeed>(interfaceIndex);
}

}  // namespace varnock
