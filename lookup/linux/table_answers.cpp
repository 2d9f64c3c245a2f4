#include "lookup/linux/table_answers.h"

#include <linux/rtnetlink.h>

#include <cstring>

#include "lookup/linux/kernel_queries.h"

namespace varnock::linux_backend {

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

std::uint32_t CopyAnswer(const std::vector<std::uint8_t>& hardwareAddress, void* answer,
                         std::uint32_t& answerLength) {
    if (hardwareAddress.size() > answerLength) {
        return arp_status::kBufferTooSmall;
    }
    std::memcpy(answer, hardwareAddress.data(), hardwareAddress.size());
    answerLength = static_cast<std::uint32_t>(hardwareAddress.size());
    return arp_status::kOk;
}

}  // namespace varnock::linux_backend
