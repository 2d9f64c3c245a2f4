#pragma once

// What is known of a lookup before anything is sent: whether the address
// can be a neighbour at all, and whether a route leads to one.

#include <cstdint>
#include <optional>

#include "lookup/arp_status.h"
#include "lookup/ip_address.h"
#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {

// What is refused before anything is asked: no address, a broadcast or
// multicast address, a link-local address without its interface or with two
// different ones. Nothing when the query may go on.
std::optional<std::uint32_t> RefusalBeforeAsking(const IpAddress& address,
                                                 std::uint32_t interfaceIndex);

// What the route to a destination says of asking ARP for it.
struct RouteVerdict {
    std::optional<std::uint32_t> refusal;  // an arp_status when it is no ARP target
    bool ownAddress = false;               // one of this machine's own addresses
};
RouteVerdict JudgeRoute(const std::optional<rtnl::Route>& route);

}  // namespace varnock::linux_backend
