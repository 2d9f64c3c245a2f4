#pragma once

// Builders and parsers of the rtnetlink messages the neighbour lookup
// exchanges with the kernel. Nothing here touches a socket: the parsers take
// bytes as they came from the kernel (or from a fuzzer) and check every
// length before they read.

#include <linux/netlink.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "lookup/arp_request.h"
#include "lookup/ip_address.h"

namespace varnock::rtnl {

// A route lookup's answer: how the kernel would send to the destination.
struct Route {
    std::uint8_t type = 0;  // RTN_UNICAST, RTN_LOCAL, RTN_BROADCAST, ...
    std::uint32_t outputInterface = 0;
    bool throughGateway = false;
};

struct Link {
    std::uint32_t index = 0;
    std::vector<std::uint8_t> hardwareAddress;
};

struct Neighbour {
    std::uint32_t interfaceIndex = 0;
    IpAddress destination;    // no scope: the entry's interface says where
    std::uint16_t state = 0;  // NUD_*
    std::vector<std::uint8_t> hardwareAddress;
    // How long ago the kernel last confirmed the entry, in clock ticks
    // (sysconf(_SC_CLK_TCK) a second); nothing when the message did not say.
    std::optional<std::uint32_t> ticksSinceConfirmed;
};

// A neighbour table's limits and fill, from its RTM_NEWNEIGHTBL message. The
// table is the machine's, shared by every network namespace.
struct NeighbourTable {
    IpAddress::Family family = IpAddress::Family::kV4;
    std::uint32_t entries = 0;
    std::uint32_t softLimit = 0;  // gc_thresh2: past it the kernel evicts idle entries
    std::uint32_t hardLimit = 0;  // gc_thresh3: past it no new entry is made
    // The kernel's counters, when it sends them: entries made, forced
    // collections (run when the collectable entries pass the soft limit) and
    // entries refused for a full table; and how long ago it last collected
    // by force.
    struct Counters {
        std::uint64_t allocations = 0;
        std::uint64_t forcedCollections = 0;
        std::uint64_t refusedFull = 0;
        std::chrono::milliseconds sinceForcedCollection{0};
    };
    std::optional<Counters> counters;
};

struct InterfaceAddress {
    std::uint32_t interfaceIndex = 0;
    IpAddress local;
    std::uint8_t prefixLength = 0;
};

// Room for any one request we build.
inline constexpr std::size_t kRequestBufferSize = 256;
using RequestBuffer = std::array<std::byte, kRequestBufferSize>;

// Each builder lays the request out at the start of `buffer` and returns its
// header; nlmsg_len is the number of bytes to send. The sender numbers it.
// The route for the flow a datagram takes: to `destination` from `source`
// (IPv4 only; 0: any), leaving through `boundInterface` when its socket is
// bound to one or the address is link-local (0: not bound), carrying `mark`
// (0: none).
nlmsghdr* BuildRouteQuery(RequestBuffer& buffer, const IpAddress& destination,
                          Ipv4Address source = 0, std::uint32_t boundInterface = 0,
                          std::uint32_t mark = 0);
nlmsghdr* BuildLinkQuery(RequestBuffer& buffer, std::uint32_t index);
nlmsghdr* BuildNeighbourQuery(RequestBuffer& buffer, const IpAddress& destination,
                              std::uint32_t interfaceIndex);
nlmsghdr* BuildAddressDump(RequestBuffer& buffer, IpAddress::Family family);
// Every neighbour entry of both families.
nlmsghdr* BuildNeighbourDump(RequestBuffer& buffer);
// Every family's neighbour table.
nlmsghdr* BuildNeighbourTableDump(RequestBuffer& buffer);

// Each parser reads one message of its kind and returns nothing for a
// message of another kind or one too short for what it claims to hold.
std::optional<Route> ParseRoute(const nlmsghdr& message);
std::optional<Link> ParseLink(const nlmsghdr& message);
// The interface an RTM_NEWLINK or RTM_DELLINK notification is about.
std::optional<std::uint32_t> ParseLinkChange(const nlmsghdr& message);
std::optional<Neighbour> ParseNeighbour(const nlmsghdr& message);
std::optional<InterfaceAddress> ParseInterfaceAddress(const nlmsghdr& message);
// Only a table's own message counts (IPv4's ARP table or IPv6's neighbour
// discovery table); its per-interface parameter messages give nothing.
std::optional<NeighbourTable> ParseNeighbourTable(const nlmsghdr& message);

// Runs every well-formed message of a datagram through `onMessage`, checking
// the sequence and port id when they are not 0. Returns 1 when more
// datagrams of the reply follow, 0 when the reply is complete (NLMSG_DONE or
// an acknowledgement), or -1 with `error` set to the errno that the kernel
// reported (NLMSG_ERROR) or to the reason the datagram was refused (EPROTO
// for another sequence, ESRCH for another port). `interrupted` says that a
// message carried NLM_F_DUMP_INTR: the table changed during the dump.
struct ReplyStatus {
    int result = 0;
    int error = 0;
    bool interrupted = false;
};
ReplyStatus ForEachMessage(std::span<const std::byte> datagram, std::uint32_t sequence,
                           std::uint32_t portId,
                           const std::function<void(const nlmsghdr&)>& onMessage);

}  // namespace varnock::rtnl
