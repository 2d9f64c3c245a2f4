#pragma once

#include <cstdint>
#include <string>

#include "lookup/linux/unique_fd.h"

namespace varnock::bench {

// One ARP request and its reply over a raw packet socket: the floor that
// any lookup on the same link is measured against. Needs CAP_NET_RAW.
class RawArp {
public:
    RawArp(const std::string& interfaceName, std::uint32_t sourceAddress);
    RawArp(const RawArp&) = delete;
    RawArp& operator=(const RawArp&) = delete;

    // True when `target` (network order) answered within `timeoutMs`.
    bool Resolve(std::uint32_t target, int timeoutMs);

private:
    linux_backend::UniqueFd fd_;
    int interfaceIndex_ = 0;
    std::uint8_t ownHardwareAddress_[6] = {};
    std::uint32_t sourceAddress_ = 0;
};

// Deletes one entry of the neighbour table over rtnetlink, so that the next
// lookup starts cold without the cost of running a program. Needs
// CAP_NET_ADMIN.
class NeighbourEraser {
public:
    explicit NeighbourEraser(const std::string& interfaceName);
    NeighbourEraser(const NeighbourEraser&) = delete;
    NeighbourEraser& operator=(const NeighbourEraser&) = delete;

    void Erase(std::uint32_t address);

private:
    linux_backend::UniqueFd fd_;
    int interfaceIndex_ = 0;
    std::uint32_t sequence_ = 0;
};

}  // namespace varnock::bench
