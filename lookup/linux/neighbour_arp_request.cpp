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
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {
namespace {

using Clock = NeighbourWait::Clock;

// Past the kernel's own give-up time, so that its FAILED verdict (or a late
// reply) is the one we report rather than our own impatience.
constexpr std::chrono::milliseconds kGiveUpMargin{250};

// Any port will do: the datagram exists only to make the kernel resolve the
// address. The discard port is the polite choice if it ever arrives.
constexpr std::uint16_t kDiscardPort = 9;

std::uint32_t CopyAnswer(const std::vector<std::uint8_t>& hardwareAddress, void* answer,
                         std::uint32_t& answerLength) {
    if (hardwareAddress.size() > answerLength) {
        return arp_status::kBufferTooSmall;
    }
    std::memcpy(answer, hardwareAddress.data(), hardwareAddress.size());
    answerLength = static_cast<std::uint32_t>(hardwareAddress.size());
    return arp_status::kOk;
}

// One of our own addresses: its hardware address is that of the interface
// that carries it (all zeros for the loopback interface).
std::uint32_t AnswerForOwnAddress(NetlinkSocket& kernel, Ipv4Address destination,
                                  const rtnl::Route& route, void* answer,
                                  std::uint32_t& answerLength) {
    const std::uint32_t index =
        FindInterfaceOwning(kernel, destination).value_or(route.outputInterface);
    const auto link = QueryLink(kernel, index);
    if (!link) {
        return arp_status::kNoRoute;
    }
    if (link->hardwareAddress.empty()) {
        return arp_status::kLinkWithoutArp;
    }
    return CopyAnswer(link->hardwareAddress, answer, answerLength);
}

// Sends an empty datagram to the destination. The kernel queues it and, as
// it has no hardware address for the destination yet, asks by ARP. Once
// resolved the datagram really goes out; the host's "port unreachable" that
// may follow is harmless.
void ProvokeResolution(Ipv4Address destination, Ipv4Address source) {
    UniqueFd datagram(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!datagram) {
        throw std::system_error(errno, std::generic_category(), "datagram socket");
    }
    if (source != 0) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = source;
        // A source that is not ours only means the kernel picks one itself.
        (void)::bind(datagram.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(kDiscardPort);
    remote.sin_addr.s_addr = destination;
    // A failure here shows up as no answer: the notifications decide.
    (void)::sendto(datagram.Get(), "", 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&remote),
                   sizeof remote);
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

    const auto route = QueryRoute(requests, destination, source);
    if (!route) {
        return arp_status::kNoRoute;
    }
    switch (route->type) {
        case RTN_UNICAST:
            // Through a gateway, ARP would find the gateway: never a right
            // answer for the host behind it.
            if (route->throughGateway) {
                return arp_status::kNotOnLink;
            }
            break;
        case RTN_LOCAL:
            return AnswerForOwnAddress(requests, destination, *route, answer, answerLength);
        case RTN_BROADCAST:
        case RTN_MULTICAST:
        case RTN_ANYCAST:
            return arp_status::kNotUnicast;
        default:  // unreachable, blackhole, prohibit, throw
            return arp_status::kNoRoute;
    }

    const std::uint32_t interfaceIndex = route->outputInterface;
    const auto link = AskInterface(requests.Fd(), interfaceIndex);
    if (!link) {
        return arp_status::kNoRoute;
    }
    if (!link->usesArp) {
        return arp_status::kLinkWithoutArp;
    }

    if (const auto known = QueryNeighbour(requests, destination, interfaceIndex);
        known && HoldsAnswer(*known)) {
        return CopyAnswer(known->hardwareAddress, answer, answerLength);
    }

    const auto sent = Clock::now();
    ProvokeResolution(destination, source);
    NeighbourWait wait(notifications, requests, destination, interfaceIndex,
                       lostNotificationBatches_);
    // On a fast link the answer came in during the send; only a host that is
    // slow or absent costs reading the interface's settings.
    auto verdict = wait.Arrived();
    if (!verdict.Decided()) {
        auto deadline = sent + NeighbourGiveUpTime(link->name) + kGiveUpMargin;
        if (maxWait_) {
            deadline = std::min(deadline, sent + *maxWait_);
        }
        verdict = wait.Until(deadline);
    }
    if (verdict.state != Verdict::State::kAnswered) {
        return arp_status::kNoAnswer;
    }
    return CopyAnswer(verdict.entry.hardwareAddress, answer, answerLength);
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
