#include "lookup/linux/neighbour_arp_request.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <system_error>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/neighbour_settings.h"
#include "lookup/linux/neighbour_wait.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/probe_datagram.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/table_answers.h"
#include "lookup/linux/unique_fd.h"

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

}  // namespace

std::uint32_t NeighbourArpRequest::Send(Ipv4Address destination, Ipv4Address source, void* answer,
                                        std::uint32_t& answerLength) {
    if (answer == nullptr) {
        return arp_status::kInvalidParameter;
    }
    // Never ARP targets, whatever the routing table says of them.
    if (destination == INADDR_BROADCAST || IN_MULTICAST(ntohl(destination))) {
        return arp_status::kNotUnicast;
    }
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
    if (maxWait_) {
        deadline = std::min(deadline, start + *maxWait_);
    }
    requests.SetDeadline(deadline);

    // The route is asked for the flow the datagram will really take: its
    // socket may be bound to an interface (a VRF) or carry a mark, and with
    // two interfaces on one network only that flow's interface counts. (The
    // kernel routes the connected socket with the same inputs.)
    ProbeDatagram probe(destination, source);
    const auto flow = probe.FlowOf();
    const auto route = QueryRoute(requests, destination, source, flow.boundInterface, flow.mark);
    if (const auto verdict = JudgeRoute(route); verdict.refusal) {
        return *verdict.refusal;
    } else if (verdict.ownAddress) {
        return AnswerForOwnAddress(requests, destination, *route, answer, answerLength);
    }

    const std::uint32_t interfaceIndex = route->outputInterface;
    const auto link = AskInterface(probe.Fd(), interfaceIndex);
    if (!link) {
        return arp_status::kNoRoute;
    }
    if (!link->usesArp) {
        return arp_status::kLinkWithoutArp;
    }
    if (!link->canSend) {
        return arp_status::kInterfaceDown;
    }

    // Only an address the kernel has confirmed is an answer as it stands. One
    // it has not heard from lately is asked of the host itself: the datagram
    // goes to that hardware address, and the host's refusal of it, or the
    // kernel's own probes, confirm it or prove it gone.
    const auto known = QueryNeighbour(requests, destination, interfaceIndex);
    if (known && IsConfirmed(*known)) {
        return CopyAnswer(known->hardwareAddress, answer, answerLength);
    }
    const bool unconfirmed = known && HoldsAddress(*known);

    NeighbourWait wait(notifications, requests, probe, destination, interfaceIndex,
                       lostNotificationBatches_);
    // Sends the datagram and waits for the verdict within the kernel's schedule
    // for confirming an entry or for resolving one from scratch;
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
        const auto waitUntil = std::min(
            deadline,
            sent +
                (confirming ? NeighbourConfirmTime(link->name) : NeighbourGiveUpTime(link->name)) +
                kGiveUpMargin);
        requests.SetDeadline(waitUntil);
        return wait.Until(waitUntil);
    };

    auto verdict = unconfirmed ? resolve(true) : resolve(false);
    // The host behind an unconfirmed entry did not answer at its old
    // hardware address; the address may have moved to another machine, so
    // the kernel is asked to resolve it once more from scratch.
    if (verdict && verdict->state == Verdict::State::kGaveUp && unconfirmed) {
        verdict = resolve(false);
    }
    if (!verdict) {
        return refusal;
    }
    if (verdict->state != Verdict::State::kAnswered) {
        return arp_status::kNoAnswer;
    }
    return CopyAnswer(verdict->entry.hardwareAddress, answer, answerLength);
}

}  // namespace varnock::linux_backend

namespace varnock {

std::unique_ptr<ArpRequest> MakeSystemArpRequest(std::optional<std::chrono::milliseconds> maxWait) {
    auto request = std::make_unique<linux_backend::NeighbourArpRequest>();
    if (maxWait) {
        request->LimitWait(*maxWait);
    }
    return request;
}

}  // namespace varnock
