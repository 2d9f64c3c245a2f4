// The Linux side of lookup/neighbour_resolver.h and lookup/neighbour_table.h.

#include <net/if.h>

#include <algorithm>
#include <chrono>
#include <exception>

#include "lookup/linux/cached_neighbour_resolver.h"
#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/live_neighbour_resolver.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/unique_fd.h"
#include "lookup/neighbour_resolver.h"
#include "lookup/neighbour_table.h"

namespace varnock {
namespace {

// Left for the machine's own lookups: an eighth of the soft limit (64 of
// the default 512).
constexpr std::uint32_t kReserveShare = 8;

constexpr std::chrono::seconds kTableDeadline{2};

}  // namespace

std::unique_ptr<NeighbourResolver> MakeSystemNeighbourResolver(ResolverMode mode) {
    if (mode == ResolverMode::kCached) {
        return std::make_unique<linux_backend::CachedNeighbourResolver>();
    }
    return std::make_unique<linux_backend::LiveNeighbourResolver>();
}

std::optional<std::uint32_t> InterfaceIndexNamed(const std::string& name) {
    const unsigned index = ::if_nametoindex(name.c_str());
    return index != 0 ? std::optional<std::uint32_t>(index) : std::nullopt;
}

std::string InterfaceNameOf(std::uint32_t index) {
    char name[IF_NAMESIZE] = {};
    return ::if_indextoname(index, name) != nullptr ? name : "";
}

std::vector<AttachedNetwork> AttachedIpv4Networks(std::uint32_t interfaceIndex) {
    linux_backend::NetlinkSocket kernel(linux_backend::NetlinkSocket::Mode::kRequests);
    kernel.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
    std::vector<AttachedNetwork> networks;
    for (const auto& entry : linux_backend::QueryAddresses(kernel, IpAddress::Family::kV4)) {
        if (interfaceIndex != 0 && entry.interfaceIndex != interfaceIndex) {
            continue;
        }
        const auto facts = linux_backend::AskInterface(kernel.Fd(), entry.interfaceIndex);
        if (facts && facts->usesArp && facts->canSend) {
            networks.push_back({entry.interfaceIndex, entry.local.V4Value(), entry.prefixLength});
        }
    }
    return networks;
}

std::optional<std::size_t> NeighbourTableRoom() {
    try {
        linux_backend::NetlinkSocket kernel(linux_backend::NetlinkSocket::Mode::kRequests);
        kernel.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
        rtnl::RequestBuffer buffer;
        std::optional<std::size_t> room;
        kernel.Exchange(rtnl::BuildNeighbourTableDump(buffer), [&](const nlmsghdr& message) {
            const auto table = rtnl::ParseNeighbourTable(message);
            if (!table) {
                return;
            }
            // gc_thresh2 may be set above gc_thresh3; the lower one binds.
            const std::uint32_t limit = std::min(table->softLimit, table->hardLimit);
            const std::uint32_t usable = limit - limit / kReserveShare;
            const std::size_t left = usable > table->entries ? usable - table->entries : 0;
            room = std::min(room.value_or(left), left);
        });
        return room;
    } catch (const std::exception&) {
        // A table that cannot be read sets no limit we could heed.
        return std::nullopt;
    }
}

}  // namespace varnock
