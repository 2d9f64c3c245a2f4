#include "lookup/linux/neighbour_wait.h"

#include <linux/neighbour.h>
#include <poll.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "lookup/linux/kernel_queries.h"

namespace varnock::linux_backend {
namespace {

constexpr std::uint16_t kConfirmedStates = NUD_REACHABLE | NUD_PERMANENT | NUD_NOARP;
constexpr std::uint16_t kAddressStates = kConfirmedStates | NUD_STALE | NUD_DELAY | NUD_PROBE;

}  // namespace

bool IsConfirmed(const rtnl::Neighbour& neighbour) {
    return (neighbour.state & kConfirmedStates) != 0 && !neighbour.hardwareAddress.empty();
}

bool HoldsAddress(const rtnl::Neighbour& neighbour) {
    return (neighbour.state & kAddressStates) != 0 && !neighbour.hardwareAddress.empty();
}

Verdict Verdict::Of(const std::optional<rtnl::Neighbour>& entry) {
    if (entry && IsConfirmed(*entry)) {
        return {State::kAnswered, *entry};
    }
    if (entry && entry->state == NUD_FAILED) {
        return {State::kGaveUp, {}};
    }
    return {};
}

Verdict NeighbourWait::Arrived() {
    // A host's refusal takes a round trip: it is never in yet.
    return ReadNotifications();
}

Verdict NeighbourWait::Until(Clock::time_point deadline) {
    for (;;) {
        const auto remaining =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0) {
            break;
        }
        // The probe's socket is watched for errors only (the host's refusal).
        std::array<pollfd, 2> watched{{{notifications_.Fd(), POLLIN, 0}, {probe_.Fd(), 0, 0}}};
        if (::poll(watched.data(), watched.size(), static_cast<int>(remaining.count())) < 0 &&
            errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if ((watched[0].revents & (POLLIN | POLLERR)) != 0) {
            if (const auto verdict = ReadNotifications(); verdict.Decided()) {
                return verdict;
            }
        }
        if ((watched[1].revents & POLLERR) != 0) {
            if (const auto verdict = ReadRefusal(); verdict.Decided()) {
                return verdict;
            }
        }
    }
    // The last word is the table's, in case the answer slipped past.
    if (const auto verdict = ReadRefusal(); verdict.Decided()) {
        return verdict;
    }
    return Verdict::Of(AskTable());
}

Verdict NeighbourWait::ReadNotifications() {
    for (;;) {
        const auto batch = notifications_.ReceiveNotifications();
        if (batch.lost) {
            ++lostBatches_;
            // The notification we wait for may have been among the lost.
            if (const auto verdict = Verdict::Of(AskTable()); verdict.Decided()) {
                return verdict;
            }
            continue;
        }
        if (batch.bytes.empty()) {
            return {};
        }
        Verdict verdict;
        rtnl::ForEachMessage(batch.bytes, 0, 0, [&](const nlmsghdr& message) {
            const auto neighbour = rtnl::ParseNeighbour(message);
            if (verdict.Decided() || !neighbour ||
                !neighbour->destination.SameAddress(destination_) ||
                neighbour->interfaceIndex != interfaceIndex_) {
                return;
            }
            if (IsConfirmed(*neighbour)) {
                verdict = Verdict::Of(neighbour);
            } else if (neighbour->state == NUD_FAILED) {
                // A FAILED that was already on its way before our
                // datagram restarted the resolution must not end the
                // wait: the table says whether the entry is still failed.
                verdict = Verdict::Of(AskTable());
            }
        });
        if (verdict.Decided()) {
            return verdict;
        }
    }
}

Verdict NeighbourWait::ReadRefusal() {
    if (!probe_.Refused()) {
        return {};
    }
    // The host answered the datagram sent to the hardware address the table
    // holds: that address is confirmed, whatever state the kernel keeps.
    if (auto entry = AskTable(); entry && HoldsAddress(*entry)) {
        return {Verdict::State::kAnswered, std::move(*entry)};
    }
    return {};
}

std::optional<rtnl::Neighbour> NeighbourWait::AskTable() {
    return QueryNeighbour(requests_, destination_, interfaceIndex_);
}

}  // namespace varnock::linux_backend
