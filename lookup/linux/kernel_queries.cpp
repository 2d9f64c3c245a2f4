#include "lookup/linux/kernel_queries.h"

namespace varnock::linux_backend {
namespace {

// Sends one query and parses its one reply; nothing when the kernel
// answered with an error (no route, no such entry, the interface has gone).
template <typename Parse>
auto AskOne(NetlinkSocket& kernel, nlmsghdr* query, Parse parse) -> decltype(parse(*query)) {
    decltype(parse(*query)) parsed;
    const int error =
        kernel.Exchange(query, [&](const nlmsghdr& message) { parsed = parse(message); });
    return error == 0 ? parsed : std::nullopt;
}

}  // namespace

std::optional<rtnl::Route> QueryRoute(NetlinkSocket& kernel, Ipv4Address destination,
                                      Ipv4Address source) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildRouteQuery(buffer, destination, source), rtnl::ParseRoute);
}

std::optional<rtnl::Link> QueryLink(NetlinkSocket& kernel, std::uint32_t index) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildLinkQuery(buffer, index), rtnl::ParseLink);
}

std::optional<rtnl::Neighbour> QueryNeighbour(NetlinkSocket& kernel, Ipv4Address destination,
                                              std::uint32_t interfaceIndex) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildNeighbourQuery(buffer, destination, interfaceIndex),
                  rtnl::ParseNeighbour);
}

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

}  // namespace varnock::linux_backend
