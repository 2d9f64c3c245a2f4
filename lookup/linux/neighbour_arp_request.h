#pragma once

#include "lookup/arp_request.h"

namespace varnock::linux_backend {

// Resolves a neighbour through the kernel's own ARP, which any user may
// trigger: no raw sockets, no capabilities. The kernel is asked over
// rtnetlink what it already knows, an empty datagram makes it send the ARP
// request, and its neighbour notifications bring the answer.
class NeighbourArpRequest final : public ArpRequest {
public:
    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override;
};

}  // namespace varnock::linux_backend
