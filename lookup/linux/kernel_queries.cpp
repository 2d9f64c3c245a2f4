#include "lookup/linux/kernel_queries.h"

#include <cerrno>
#include <system_error>

namespace varnock::linux_backend {
namespace {

// Sends one query and parses its one reply; nothing when the kernel
// answered with an error (no route, no such entry, the interface has gone).
// `error`, when given, receives that error.
template <typename Parse>
auto AskOne(NetlinkSocket& kernel, nlmsghdr* query, Parse parse, int* error = nullptr)
    -> decltype(parse(*query)) {
    decltype(parse(*query)) parsed;
    const int answer =
        kernel.Exchange(query, [&](const nlmsghdr& message) { parsed = parse(message); });
    if (error != nullptr) {
        *error = answer;
    }
    return answer == 0 ? parsed : std::nullopt;
}

// A dump that a change of the table interrupted is asked again, a few times.
constexpr int kDumpTries = 3;

}  // namespace

std::optional<rtnl::Route> QueryRoute(NetlinkSocket& kernel, Ipv4Address destination,
                                      Ipv4Address source, std::uint32_t boundInterface,
                                      std::uint32_t mark) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildRouteQuery(buffer, destination, source, boundInterface, mark),
                  rtnl::ParseRoute);
}

std::optional<rtnl::Link> QueryLink(NetlinkSocket& kernel, std::uint32_t index) {
    rtnl::RequestBuffer buffer;
    return AskOne(kernel, rtnl::BuildLinkQuery(buffer, index), rtnl::ParseLink);
}

std::optional<rtnl::Neighbour> QueryNeighbour(NetlinkSocket& kernel, Ipv4Address destination,
                                              std::uint32_t interfaceIndex) {
    rtnl::RequestBuffer buffer;
    int error = 0;
    auto entry = AskOne(kernel, rtnl::BuildNeighbourQuery(buffer, destination, interfaceIndex),
                        rtnl::ParseNeighbour, &error);
    if (error == EOPNOTSUPP) {
        throw std::system_error(error, std::generic_category(),
                                "neighbour query (needs Linux 4.20 or later)");
    }
    return entry;
}

std::optional<std::uint32_t> FindInterfaceOwning(NetlinkSocket& kernel, Ipv4Address address) {
    std::optional<std::uint32_t> owner;
    for (int attempt = 0; attempt < kDumpTries; ++attempt) {
        rtnl::RequestBuffer buffer;
        owner.reset();
        const int error =
            kernel.Exchange(rtnl::BuildAddressDump(buffer), [&](const nlmsghdr& message) {
                const auto entry = rtnl::ParseInterfaceAddress(message);
                if (entry && entry->local == address && !owner) {
                    owner = entry->interfaceIndex;
                }
            });
        if (error != EINTR) {
            break;
        }
    }
    return owner;
}

}  // namespace varnock::linux_backend
