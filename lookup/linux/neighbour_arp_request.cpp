#include "lookup/linux/neighbour_arp_request.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <system_error>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/neighbour_settings.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {
namespace {

using Clock = std::chrono::steady_clock;

// Past the kernel's own give-up time, so that its FAILED verdict (or a late
// reply) is the one we report rather than our own impatience.
constexpr std::chrono::milliseconds kGiveUpMargin{250};

// Any port will do: the datagram exists only to make the kernel resolve the
// address. The discard port is the polite choice if it ever arrives.
constexpr std::uint16_t kDiscardPort = 9;

// States in which the kernel holds a hardware address it has seen answer.
constexpr std::uint16_t kUsableStates =
    NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT;

bool HoldsAnswer(const rtnl::Neighbour& neighbour) {
    return (neighbour.state & kUsableStates) != 0 && !neighbour.hardwareAddress.empty();
}

std::uint32_t CopyAnswer(const std::vector<std::uint8_t>& hardwareAddress, void* answer,
                         std::uint32_t& answerLength) {
    if (hardwareAddress.size() > answerLength) {
        return arp_status::kBufferTooSmall;
    }
    std::memcpy(answer, hardwareAddress.data(), hardwareAddress.size());
    answerLength = static_cast<std::uint32_t>(hardwareAddress.size());
    return arp_status::kOk;
}

// Sends one query and parses its one reply; nothing when the kernel
// answered with an error (no route, no such entry, the interface has gone).
template <typename Parse>
auto AskOne(NetlinkSocket& kernel, nlmsghdr* query, Parse parse) -> decltype(parse(*query)) {
    decltype(parse(*query)) parsed;
    const int error =
        kernel.Exchange(query, [&](const nlmsghdr& message) { parsed = parse(message); });
    return error == 0 ? parsed : std::nullopt;
}

std::optional<rtnl::Route> QueryRoute(NetlinkSocket& kernel, Ipv4Address destination,
                                      Ipv4Address source) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildRouteQuery(buffer, destination, source), rtnl::ParseRoute);
}

std::optional<rtnl::Link> QueryLink(NetlinkSocket& kernel, std::uint32_t index) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildLinkQuery(buffer, index), rtnl::ParseLink);
}

// What the neighbour table holds for the destination; nothing when it holds
// no entry (ENOENT) or the interface has gone.
std::optional<rtnl::Neighbour> QueryNeighbour(NetlinkSocket& kernel, Ipv4Address destination,
                                              std::uint32_t interfaceIndex) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildNeighbourQuery(buffer, destination, interfaceIndex),
                  rtnl::ParseNeighbour);
}

// The interface that holds `address` as one of its own, if any does.
std::optional<std::uint32_t> FindInterfaceOwning(NetlinkSocket& kernel, Ipv4Address address) {
    rtnl::RequestBuffer buffer;
    std::optional<std::uint32_t> owner;
    kernel.Exchange(rtnl::BuildAddressDump(buffer), [&](const nlmsghdr& message) {
        const auto entry = rtnl::ParseInterfaceAddress(message);
        if (entry && entry->local == address && !owner) {
            owner = entry->interfaceIndex;
        }
    });
    return owner;
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

// Where the kernel's resolution of one neighbour stands.
struct Verdict {
    enum class State { kUndecided, kAnswered, kGaveUp };
    State state = State::kUndecided;
    rtnl::Neighbour entry;  // when answered

    static Verdict Of(const std::optional<rtnl::Neighbour>& entry) {
        if (entry && HoldsAnswer(*entry)) {
            return {State::kAnswered, *entry};
        }
        if (entry && entry->state == NUD_FAILED) {
            return {State::kGaveUp, {}};
        }
        return {};
    }
    bool Decided() const { return state != State::kUndecided; }
};

class NeighbourWait {
public:
    NeighbourWait(NetlinkSocket& notifications, NetlinkSocket& requests, Ipv4Address destination,
                  std::uint32_t interfaceIndex, std::atomic<std::uint64_t>& lostBatches)
        : notifications_(notifications),
          requests_(requests),
          destination_(destination),
          interfaceIndex_(interfaceIndex),
          lostBatches_(lostBatches) {}

    // What the notifications have said so far, without waiting.
    Verdict Arrived() { return ReadNotifications(); }

    // The verdict by `deadline`; past it, whatever the table says then.
    Verdict Until(Clock::time_point deadline) {
        for (;;) {
            if (const auto verdict = ReadNotifications(); verdict.Decided()) {
                return verdict;
            }
            const auto remaining =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (remaining.count() <= 0) {
                break;
            }
            pollfd watched{notifications_.Fd(), POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(remaining.count())) < 0 && errno != EINTR) {
                throw std::system_error(errno, std::generic_category(), "poll");
            }
        }
        // The last word is the table's, in case the answer slipped past.
        return Verdict::Of(AskTable());
    }

private:
    Verdict ReadNotifications() {
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
                if (verdict.Decided() || !neighbour || neighbour->destination != destination_ ||
                    neighbour->interfaceIndex != interfaceIndex_) {
                    return;
                }
                if (HoldsAnswer(*neighbour)) {
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

    std::optional<rtnl::Neighbour> AskTable() {
        return QueryNeighbour(requests_, destination_, interfaceIndex_);
    }

    NetlinkSocket& notifications_;
    NetlinkSocket& requests_;
    Ipv4Address destination_;
    std::uint32_t interfaceIndex_;
    std::atomic<std::uint64_t>& lostBatches_;
};

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
