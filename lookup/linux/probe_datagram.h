#pragma once

#include <cstdint>

#include "lookup/ip_address.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {

// The empty datagram that makes the kernel resolve a neighbour, on a UDP
// socket connected to it. Connected, the socket hears the host's own "port
// unreachable" when the datagram reaches it: proof that the host holds the
// address at the hardware address the kernel sent it to. Any user may send
// one; it needs no privilege.
class ProbeDatagram {
public:
    // Opens the socket; nothing is sent. `interfaceIndex` (0: none) binds it
    // to that interface, so that the datagram leaves there whatever else the
    // routes say. Throws std::system_error when no socket can be had or
    // bound.
    ProbeDatagram(const IpAddress& destination, Ipv4Address source, std::uint32_t interfaceIndex);

    // What the route must be asked with for the flow the datagram will take:
    // the interface and mark the socket carries from its making (`ip vrf
    // exec`, a socket policy). Zero where none.
    struct Flow {
        std::uint32_t boundInterface = 0;
        std::uint32_t mark = 0;
    };
    Flow FlowOf() const;

    // Sends the datagram (connecting the socket the first time). 0, or the
    // errno the send failed with at once: EPERM when a firewall rule here
    // dropped it, ENOBUFS or EINVAL when the kernel had no room for a new
    // neighbour entry.
    int Send();

    // Whether the destination itself refused a datagram so far. Reads, and so
    // clears, what the socket has been told since the last call.
    bool Refused();

    int Fd() const { return socket_.Get(); }

private:
    void DrainErrors();

    UniqueFd socket_;
    IpAddress destination_;
    Ipv4Address source_;
    bool prepared_ = false;
    bool refused_ = false;
};

}  // namespace varnock::linux_backend
