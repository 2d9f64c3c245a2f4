#pragma once

// What the kernel's method asks of the neighbour table, apart from the
// route step: one entry, or the whole table.

#include <cstdint>
#include <optional>
#include <vector>

#include "lookup/ip_address.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {

// The real questions go over the engine's request socket; tests script
// them. Each may throw std::system_error when the kernel cannot be asked.
class NeighbourTableQuestions {
public:
    virtual ~NeighbourTableQuestions() = default;
    // The entry for `destination` on the interface; nothing when none.
    virtual std::optional<rtnl::Neighbour> Entry(const IpAddress& destination,
                                                 std::uint32_t interfaceIndex) = 0;
    // Every entry of this namespace's tables, whole.
    virtual std::vector<rtnl::Neighbour> Whole() = 0;
};

// Asks on `requests`, one entry within kKernelAnswer and the whole table
// within kTableDeadline.
class KernelNeighbourTable final : public NeighbourTableQuestions {
public:
    explicit KernelNeighbourTable(NetlinkSocket& requests) : requests_(requests) {}

    std::optional<rtnl::Neighbour> Entry(const IpAddress& destination,
                                         std::uint32_t interfaceIndex) override;
    std::vector<rtnl::Neighbour> Whole() override;

private:
    NetlinkSocket& requests_;
};

}  // namespace varnock::linux_backend
