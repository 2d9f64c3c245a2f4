#include "lookup/linux/table_answers.h"

#include <linux/rtnetlink.h>

namespace varnock::linux_backend {

std::optional<std::uint32_t> RefusalBeforeAsking(const IpAddress& address,
                                                 std::uint32_t interfaceIndex) {
    if (address.IsUnspecified()) {
        return arp_status::kInvalidParameter;
    }
    // Never ARP or neighbour discovery targets, whatever the routes say.
    if (address.IsMulticast() || (!address.IsV6() && address.V4Value() == 0xFFFF'FFFFu)) {
        return arp_status::kNotUnicast;
    }
    if (address.IsLinkLocal()) {
        if (address.scope == 0 && interfaceIndex == 0) {
            return arp_status::kNeedsInterface;
        }
        if (address.scope != 0 && interfaceIndex != 0 && address.scope != interfaceIndex) {
            return arp_status::kWrongInterface;
        }
    }
    return std::nullopt;
}

RouteVerdict JudgeRoute(const std::optional<rtnl::Route>& route) {
    if (!route) {
        return {arp_status::kNoRoute};
    }
    switch (route->type) {
        case RTN_UNICAST:
            // Through a gateway, ARP would find the gateway: never a right
            // answer for the host behind it.
            if (route->throughGateway) {
                return {arp_status::kNotOnLink};
            }
            return {};
        case RTN_LOCAL:
            return {std::nullopt, true};
        case RTN_BROADCAST:
        case RTN_MULTICAST:
        case RTN_ANYCAST:
            return {arp_status::kNotUnicast};
        default:  // unreachable, blackhole, prohibit, throw
            return {arp_status::kNoRoute};
    }
}

}  // namespace varnock::linux_backend
