// The Linux side of lookup/neighbour_engine.h.

#include <linux/neighbour.h>
#include <net/if.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>
#include <memory>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/netlink_neighbour_engine.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/table_room.h"
#include "lookup/neighbour_engine.h"

namespace varnock {
namespace {

constexpr std::chrono::seconds kTableDeadline{2};
// This namespace's permanent entries are counted again after this.
constexpr std::chrono::seconds kPermanentLifetime{10};

}  // namespace

std::unique_ptr<NeighbourEngine> MakeSystemNeighbourEngine(ResolverMode mode) {
    return std::make_unique<linux_backend::NetlinkNeighbourEngine>(mode);
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

NeighbourTableGauge MakeNeighbourTableGauge() {
    // Asked every 100 ms through a sweep: the socket is kept, and this
    // namespace's permanent entries, which an administrator sets and which a
    // sweep's own entries would make costly to count each time, are counted
    // again only after a while.
    struct Reading {
        std::optional<linux_backend::NetlinkSocket> kernel;
        std::map<IpAddress::Family, linux_backend::TableRoomGauge> gauges;
        std::map<IpAddress::Family, std::uint32_t> permanent;
        std::chrono::steady_clock::time_point permanentRead{};
    };
    auto reading = std::make_shared<Reading>();
    return [reading](IpAddress::Family family) -> std::optional<std::size_t> {
        try {
            if (!reading->kernel) {
                reading->kernel.emplace(linux_backend::NetlinkSocket::Mode::kRequests);
            }
            auto& kernel = *reading->kernel;
            const auto now = std::chrono::steady_clock::now();
            kernel.SetDeadline(now + kTableDeadline);
            rtnl::RequestBuffer buffer;
            std::optional<rtnl::NeighbourTable> table;
            kernel.Exchange(rtnl::BuildNeighbourTableDump(buffer), [&](const nlmsghdr& message) {
                if (auto parsed = rtnl::ParseNeighbourTable(message);
                    parsed && parsed->family == family) {
                    table = parsed;
                }
            });
            if (!table) {
                return std::nullopt;
            }
            if (reading->permanentRead == std::chrono::steady_clock::time_point{} ||
                now - reading->permanentRead > kPermanentLifetime) {
                reading->permanent.clear();
                for (const auto& entry : linux_backend::QueryNeighbours(kernel)) {
                    if ((entry.state & NUD_PERMANENT) != 0) {
                        ++reading->permanent[entry.destination.family];
                    }
                }
                reading->permanentRead = now;
            }
            return reading->gauges[family].Room(*table, reading->permanent[family]);
        } catch (const std::exception&) {
            // A table that cannot be read sets no limit we could heed; the
            // next reading starts on a fresh socket.
            reading->kernel.reset();
            return std::nullopt;
        }
    };
}

}  // namespace varnock
