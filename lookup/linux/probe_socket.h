#pragma once

#include <cstdint>
#include <vector>

#include "lookup/ip_address.h"
#include "lookup/linux/socket_flow.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {

// Sends the empty datagrams that make the kernel resolve neighbours: one
// unconnected UDP socket serves every lookup of one family and flow. Told
// to report errors, the socket also hears each host's own "port
// unreachable" when a datagram reaches it: proof that the host holds the
// address at the hardware address the kernel sent it to. Any user may send
// one; it needs no privilege.
class ProbeSocket {
public:
    // Opens the socket; nothing is sent. `interfaceIndex` (0: none) binds it
    // to that interface, so that the datagrams leave there whatever else the
    // routes say; `source` (IPv4, 0: the kernel's choice) is the address they
    // come from. Throws std::system_error when no socket can be had or set up.
    ProbeSocket(IpAddress::Family family, std::uint32_t interfaceIndex, Ipv4Address source);

    // What the route must be asked with for the flow the datagrams take.
    const Flow& FlowOf() const { return flow_; }

    // Sends one datagram to `destination`. 0, or the errno the send failed
    // with at once: EPERM when a firewall rule here dropped it, ENOBUFS or
    // EINVAL when the kernel had no room for a new neighbour entry.
    int Send(const IpAddress& destination);

    // A destination that refused a datagram, heard from itself (not from a
    // router, not from our own kernel), and the interface the refusal came
    // in on (0 where the kernel did not say).
    struct Refusal {
        IpAddress address;
        std::uint32_t interfaceIndex = 0;
    };
    // The refusals since the last call.
    std::vector<Refusal> TakeRefusals();

    int Fd() const { return socket_.Get(); }

private:
    UniqueFd socket_;
    IpAddress::Family family_;
    Flow flow_;
};

}  // namespace varnock::linux_backend
