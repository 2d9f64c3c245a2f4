#pragma once

// The flow a socket's packets take, which the route must be asked with.

#include <cstdint>

#include "lookup/ip_address.h"

namespace varnock::linux_backend {

// The interface and mark a socket carries from its making (`ip vrf exec`, a
// socket policy). Zero where none.
struct Flow {
    std::uint32_t boundInterface = 0;
    std::uint32_t mark = 0;
};

Flow FlowOf(int socketFd);

// The flow of a datagram socket of `family` that this process makes now;
// none when no socket can be had.
Flow ProcessFlow(IpAddress::Family family);

}  // namespace varnock::linux_backend
