#pragma once

// What the kernel's own tables answer, with nothing sent: whether a route
// leads to an ARP target at all, the hardware address of one of our own
// addresses.

#include <cstdint>
#include <optional>
#include <vector>

#include "lookup/arp_request.h"
#include "lookup/ip_address.h"
#include "lookup/linux/netlink_socket.h"
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

// One of our own addresses: its hardware address is that of the interface
// that carries it (all zeros for the loopback interface), into
// `hardwareAddress`, and that interface into `interfaceIndex`; the result is
// an arp_status.
std::uint32_t AnswerForOwnAddress(NetlinkSocket& kernel, const IpAddress& destination,
                                  const rtnl::Route& route,
                                  std::vector<std::uint8_t>& hardwareAddress,
                                  std::uint32_t& interfaceIndex);

}  // namespace varnock::linux_backend
