#include "lookup/linux/kernel_queries.h"

#include <algorithm>
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

std::optional<rtnl::Route> QueryRoute(NetlinkSocket& kernel, const IpAddress& destination,
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

std::optional<rtnl::Neighbour> QueryNeighbour(NetlinkSocket& kernel, const IpAddress& destination,
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

void DumpWhole(NetlinkSocket& kernel, const std::function<nlmsghdr*(rtnl::RequestBuffer&)>& build,
               const std::function<void()>& restart,
               const std::function<void(const nlmsghdr&)>& take, const char* what) {
    DumpWhole(
        [&](nlmsghdr* request, const std::function<void(const nlmsghdr&)>& heard) {
            return kernel.Exchange(request, heard);
        },
        build, restart, take, what);
}

void DumpWhole(const DumpExchange& exchange,
               const std::function<nlmsghdr*(rtnl::RequestBuffer&)>& build,
               const std::function<void()>& restart,
               const std::function<void(const nlmsghdr&)>& take, const char* what) {
    int error = EINTR;
    for (int attempt = 0; attempt < kDumpTries && error == EINTR; ++attempt) {
        restart();
        rtnl::RequestBuffer buffer;
        error = exchange(build(buffer), take);
    }
    if (error != 0) {
        // EINTR here: the table kept changing under every try.
        throw std::system_error(error, std::generic_category(), what);
    }
}

std::vector<rtnl::InterfaceAddress> QueryAddresses(NetlinkSocket& kernel,
                                                   IpAddress::Family family) {
    std::vector<rtnl::InterfaceAddress> addresses;
    DumpWhole(
        kernel, [&](rtnl::RequestBuffer& buffer) { return rtnl::BuildAddressDump(buffer, family); },
        [&] { addresses.clear(); },
        [&](const nlmsghdr& message) {
            if (auto entry = rtnl::ParseInterfaceAddress(message);
                entry && entry->local.family == family) {
                addresses.push_back(*entry);
            }
        },
        "interface addresses");
    return addresses;
}

std::vector<rtnl::Neighbour> QueryNeighbours(NetlinkSocket& kernel) {
    std::vector<rtnl::Neighbour> entries;
    DumpWhole(
        kernel, rtnl::BuildNeighbourDump, [&] { entries.clear(); },
        [&](const nlmsghdr& message) {
            if (auto entry = rtnl::ParseNeighbour(message)) {
                entries.push_back(std::move(*entry));
            }
        },
        "neighbour table");
    return entries;
}

std::optional<std::uint32_t> FindInterfaceOwning(NetlinkSocket& kernel, const IpAddress& address) {
    for (const auto& entry : QueryAddresses(kernel, address.family)) {
        if (entry.local.SameAddress(address)) {
            return entry.interfaceIndex;
        }
    }
    return std::nullopt;
}

bool IsAttachedTo(const std::vector<rtnl::InterfaceAddress>& addresses,
                  std::uint32_t interfaceIndex, const IpAddress& destination) {
    for (const auto& entry : addresses) {
        if (entry.interfaceIndex != interfaceIndex || entry.local.family != destination.family) {
            continue;
        }
        const std::size_t bits = std::min<std::size_t>(entry.prefixLength, destination.Size() * 8);
        bool same = true;
        for (std::size_t bit = 0; bit < bits && same; ++bit) {
            const auto mask = static_cast<std::uint8_t>(0x80u >> (bit % 8));
            same = (entry.local.bytes[bit / 8] & mask) == (destination.bytes[bit / 8] & mask);
        }
        if (same) {
            return true;
        }
    }
    return false;
}

}  // namespace varnock::linux_backend
