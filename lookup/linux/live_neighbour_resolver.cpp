#include "lookup/linux/live_neighbour_resolver.h"

#include <linux/rtnetlink.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/neighbour_settings.h"
#include "lookup/linux/neighbour_wait.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/probe_datagram.h"
#include "lookup/linux/table_answers.h"

namespace varnock::linux_backend {
namespace {

using Clock = NeighbourWait::Clock;

// Past the kernel's own give-up time, so that its FAILED verdict (or a late
// reply) is the one we report rather than our own impatience.
constexpr std::chrono::milliseconds kGiveUpMargin{250};

// What a failed send of the probe datagram says, when it says something
// that is known at once; nothing when the kernel's verdict must decide.
std::optional<std::uint32_t> RefusalOfSend(int error) {
    switch (error) {
        case 0:
            return std::nullopt;
        case EPERM:
        case EACCES:
            // A netfilter rule in the output path dropped it.
            return arp_status::kBlockedByFirewall;
        case ENOBUFS:
        case EINVAL:
            // No room for a new neighbour entry (gc_thresh3 reached).
            return arp_status::kNeighbourTableFull;
        case ENETUNREACH:
        case EHOSTUNREACH:
            return arp_status::kNoRoute;
        case ENETDOWN:
            return arp_status::kInterfaceDown;
        default:
            return std::nullopt;
    }
}

NeighbourAnswer Refused(std::uint32_t status, std::uint32_t interfaceIndex = 0) {
    NeighbourAnswer answer;
    answer.status = status;
    answer.interfaceIndex = interfaceIndex;
    return answer;
}

NeighbourAnswer Answered(std::vector<std::uint8_t> hardwareAddress, std::uint32_t interfaceIndex) {
    NeighbourAnswer answer;
    answer.status = arp_status::kOk;
    answer.hardwareAddress = std::move(hardwareAddress);
    answer.interfaceIndex = interfaceIndex;
    return answer;
}

}  // namespace

NeighbourAnswer LiveNeighbourResolver::Resolve(const NeighbourQuery& query) {
    const IpAddress& destination = query.address;
    if (const auto refusal = RefusalBeforeAsking(destination, query.interfaceIndex)) {
        return Refused(*refusal);
    }
    const std::uint32_t chosenInterface =
        query.interfaceIndex != 0 ? query.interfaceIndex : destination.scope;
    const auto start = Clock::now();
    // Subscribe before anything can make the kernel send: on a fast link the
    // reply arrives within the send itself, and a late subscriber misses it.
    NetlinkSocket notifications(NetlinkSocket::Mode::kNotifications, RTMGRP_NEIGH);
    if (notificationBufferBytes_ > 0) {
        notifications.LimitReceiveBuffer(notificationBufferBytes_);
    }
    // Requests get a socket of their own: one socket would save a few
    // microseconds, but a flood of notifications could fill it and the
    // kernel would drop our replies with them.
    NetlinkSocket requests(NetlinkSocket::Mode::kRequests);
    // The lookup's one deadline; the waits below shorten it to the kernel's
    // own schedule once it is known.
    auto deadline = start + 2 * (kLongestNeighbourWait + kGiveUpMargin);
    if (query.maxWait) {
        deadline = std::min(deadline, start + *query.maxWait);
    }
    requests.SetDeadline(deadline);

    // A chosen interface must hold the destination's network: the kernel
    // would otherwise take any destination as on-link there.
    if (query.interfaceIndex != 0 && !destination.IsLinkLocal() &&
        !IsAttachedTo(QueryAddresses(requests, destination.family), query.interfaceIndex,
                      destination)) {
        return Refused(arp_status::kWrongInterface, query.interfaceIndex);
    }

    // The route is asked for the flow the datagram will really take: its
    // socket may be bound to an interface (a VRF, or the one chosen) or carry
    // a mark, and with two interfaces on one network only that flow's
    // interface counts. (The kernel routes the connected socket with the
    // same inputs.)
    ProbeDatagram probe(destination, query.source, query.interfaceIndex);
    const auto flow = probe.FlowOf();
    const auto route =
        QueryRoute(requests, destination, query.source,
                   chosenInterface != 0 ? chosenInterface : flow.boundInterface, flow.mark);
    if (const auto verdict = JudgeRoute(route); verdict.refusal) {
        return Refused(*verdict.refusal);
    } else if (verdict.ownAddress) {
        std::vector<std::uint8_t> own;
        std::uint32_t owner = 0;
        const auto status = AnswerForOwnAddress(requests, destination, *route, own, owner);
        return status == arp_status::kOk ? Answered(std::move(own), owner) : Refused(status, owner);
    }
    const std::uint32_t interfaceIndex = route->outputInterface;
    if (chosenInterface != 0 && interfaceIndex != chosenInterface) {
        return Refused(arp_status::kWrongInterface, chosenInterface);
    }
    const auto link = AskInterface(probe.Fd(), interfaceIndex);
    if (!link) {
        return Refused(arp_status::kNoRoute);
    }
    if (!link->usesArp) {
        return Refused(arp_status::kLinkWithoutArp, interfaceIndex);
    }
    if (!link->canSend) {
        return Refused(arp_status::kInterfaceDown, interfaceIndex);
    }

    // Only an address the kernel has confirmed is an answer as it stands. One
    // it has not heard from lately is asked of the host itself: the datagram
    // goes to that hardware address, and the host's refusal of it, or the
    // kernel's own probes, confirm it or prove it gone.
    const auto known = QueryNeighbour(requests, destination, interfaceIndex);
    if (known && IsConfirmed(*known)) {
        return Answered(known->hardwareAddress, interfaceIndex);
    }
    const bool unconfirmed = known && HoldsAddress(*known);

    const char* settings = destination.IsV6() ? kIpv6NeighbourSettings : kIpv4NeighbourSettings;
    NeighbourWait wait(notifications, requests, probe, destination, interfaceIndex,
                       lostNotificationBatches_);
    // Sends the datagram and waits for the verdict within the kernel's
    // schedule for confirming an entry or for resolving one from scratch;
    // nothing when the send itself was refused, with the reason in `refusal`.
    std::uint32_t refusal = arp_status::kNoAnswer;
    auto resolve = [&](bool confirming) -> std::optional<Verdict> {
        const auto sent = Clock::now();
        if (const auto refused = RefusalOfSend(probe.Send())) {
            refusal = *refused;
            return std::nullopt;
        }
        // On a fast link the answer came in during the send; only a host
        // that is slow or absent costs reading the interface's settings.
        if (auto verdict = wait.Arrived(); verdict.Decided()) {
            return verdict;
        }
        const auto schedule = confirming ? NeighbourConfirmTime(link->name, settings)
                                         : NeighbourGiveUpTime(link->name, settings);
        const auto waitUntil = std::min(deadline, sent + schedule + kGiveUpMargin);
        requests.SetDeadline(waitUntil);
        return wait.Until(waitUntil);
    };

    auto verdict = resolve(unconfirmed);
    // The host behind an unconfirmed entry did not answer at its old
    // hardware address; the address may have moved to another machine, so
    // the kernel is asked to resolve it once more from scratch.
    if (verdict && verdict->state == Verdict::State::kGaveUp && unconfirmed) {
        verdict = resolve(false);
    }
    if (!verdict) {
        return Refused(refusal, interfaceIndex);
    }
    if (verdict->state != Verdict::State::kAnswered) {
        return Refused(arp_status::kNoAnswer, interfaceIndex);
    }
    return Answered(std::move(verdict->entry.hardwareAddress), interfaceIndex);
}

}  // namespace varnock::linux_backend
