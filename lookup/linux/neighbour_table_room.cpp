#include <algorithm>
#include <chrono>
#include <exception>

#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/neighbour_table.h"

namespace varnock {
namespace {

// Left for the machine's own lookups: an eighth of the soft limit (64 of
// the default 512).
constexpr std::uint32_t kReserveShare = 8;

constexpr std::chrono::seconds kTableDeadline{2};

}  // namespace

std::optional<std::size_t> NeighbourTableRoom() {
    try {
        linux_backend::NetlinkSocket kernel(linux_backend::NetlinkSocket::Mode::kRequests);
        kernel.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
        rtnl::RequestBuffer buffer;
        std::optional<rtnl::NeighbourTable> arp;
        kernel.Exchange(rtnl::BuildNeighbourTableDump(buffer), [&](const nlmsghdr& message) {
            if (!arp) {
                arp = rtnl::ParseArpTable(message);
            }
        });
        if (!arp) {
            return std::nullopt;
        }
        // gc_thresh2 may be set above gc_thresh3; the lower one binds.
        const std::uint32_t limit = std::min(arp->softLimit, arp->hardLimit);
        const std::uint32_t usable = limit - limit / kReserveShare;
        return usable > arp->entries ? usable - arp->entries : 0;
    } catch (const std::exception&) {
        // A table that cannot be read sets no limit we could heed.
        return std::nullopt;
    }
}

}  // namespace varnock
