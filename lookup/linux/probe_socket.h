#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "lookup/ip_address.h"
#include "lookup/linux/socket_flow.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {

// What sends the datagrams that make the kernel resolve neighbours and
// hears the hosts' refusals of them: UdpProbeSocket, or a scripted one in
// tests.
class ProbeSocket {
public:
    virtual ~ProbeSocket() = default;

    // What the route must be asked with for the flow the datagrams take.
    virtual const Flow& FlowOf() const = 0;

    // Sends one datagram to `destination`. 0, or the errno the send failed
    // with at once: EPERM when a firewall rule here dropped it, ENOBUFS or
    // EINVAL when the kernel had no room for a new neighbour entry.
    virtual int Send(const IpAddress& destination) = 0;

    // A destination that refused a datagram, heard from itself (not from a
    // router, not from our own kernel), and the interface the refusal came
    // in on (0 where the kernel did not say).
    struct Refusal {
        IpAddress address;
        std::uint32_t interfaceIndex = 0;
    };
    // The refusals since the last call.
    virtual std::vector<Refusal> TakeRefusals() = 0;

    // Polled for errors (the refusals); negative when there is nothing to
    // poll, and the refusals are read when a lookup's wait ends.
    virtual int Fd() const = 0;
};

// Makes the probe for one family, interface (0: none) and source (IPv4, 0:
// the kernel's choice).
using ProbeMaker = std::function<std::unique_ptr<ProbeSocket>(
    IpAddress::Family family, std::uint32_t interfaceIndex, Ipv4Address source)>;

// One unconnected UDP socket serves every lookup of one family and flow.
// Told to report errors, the socket also hears each host's own "port
// unreachable" when a datagram reaches it: proof that the host holds the
// address at the hardware address the kernel sent it to. Any user may send
// one; it needs no privilege.
class UdpProbeSocket final : public ProbeSocket {
public:
    // Opens the socket; nothing is sent. `interfaceIndex` (0: none) binds it
    // to that interface, so that the datagrams leave there whatever else the
    // routes say; `source` (IPv4, 0: the kernel's choice) is the address they
    // come from. Throws std::system_error when no socket can be had or set up.
    UdpProbeSocket(IpAddress::Family family, std::uint32_t interfaceIndex, Ipv4Address source);

    const Flow& FlowOf() const override { return flow_; }
    int Send(const IpAddress& destination) override;
    std::vector<Refusal> TakeRefusals() override;
    int Fd() const override { return socket_.Get(); }

private:
    UniqueFd socket_;
    IpAddress::Family family_;
    Flow flow_;
};

}  // namespace varnock::linux_backend
