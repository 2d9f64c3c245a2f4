#pragma once

// The two sockets of the raw method. Opening either needs CAP_NET_RAW;
// sending and reading on them once open needs nothing, so the process gives
// its privileges up right after opening them.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "lookup/linux/neighbour_packets.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {

// One AF_PACKET datagram socket for ARP on every interface: requests go out
// to the broadcast address of the interface asked, and only ARP replies
// come in (a socket filter drops the rest in the kernel).
class ArpSocket {
public:
    // Throws std::system_error; EPERM when the capability is missing.
    ArpSocket();

    int Fd() const { return fd_.Get(); }

    // 0, or the errno the send failed with.
    int SendRequest(std::uint32_t interfaceIndex, const packets::ArpPacket& request);

    struct Received {
        std::uint32_t interfaceIndex = 0;
        packets::ArpReply reply;
    };
    // The next reply waiting; nothing when none waits. Packets this host
    // sent itself and anything that is no well-formed reply are skipped.
    std::optional<Received> Receive();

private:
    UniqueFd fd_;
};

// A raw ICMPv6 socket for neighbour discovery: solicitations go to the
// target's solicited-node group on the interface asked, and only neighbour
// advertisements come in (the socket's ICMPv6 type filter), each with the
// interface it came in on and its hop limit.
class NeighbourDiscoverySocket {
public:
    // Throws std::system_error; EPERM when the capability is missing,
    // EAFNOSUPPORT when the system has no IPv6.
    NeighbourDiscoverySocket();

    int Fd() const { return fd_.Get(); }

    int SendSolicitation(std::uint32_t interfaceIndex, const packets::Ipv6Bytes& target,
                         const packets::HardwareAddress& sender);

    struct Received {
        std::uint32_t interfaceIndex = 0;
        // Only 255 proves that the message came from this link (RFC 4861 7.1.2).
        int hopLimit = -1;
        packets::NeighbourAdvertisement advertisement;
    };
    std::optional<Received> Receive();

private:
    UniqueFd fd_;
};

// What the raw method sends and reads through: the sockets above on a real
// system, a scripted stand-in in tests. Sends return 0 or the errno the send
// failed with; receives the next well-formed reply waiting, nothing when
// none waits.
class RawNeighbourSockets {
public:
    virtual ~RawNeighbourSockets() = default;

    // Readable when an ARP reply may wait; a socket, so that the interfaces
    // can be asked through it too.
    virtual int ArpFd() const = 0;
    virtual int SendArpRequest(std::uint32_t interfaceIndex, const packets::ArpPacket& request) = 0;
    virtual std::optional<ArpSocket::Received> ReceiveArpReply() = 0;

    // The system has IPv6 neighbour discovery; the three below only then.
    virtual bool HasNeighbourDiscovery() const = 0;
    virtual int NeighbourDiscoveryFd() const = 0;
    virtual int SendSolicitation(std::uint32_t interfaceIndex, const packets::Ipv6Bytes& target,
                                 const packets::HardwareAddress& sender) = 0;
    virtual std::optional<NeighbourDiscoverySocket::Received> ReceiveAdvertisement() = 0;
};

// The real sockets. `neighbourDiscovery`: nothing where the system has no
// IPv6.
std::unique_ptr<RawNeighbourSockets> SystemRawSockets(
    ArpSocket arp, std::optional<NeighbourDiscoverySocket> neighbourDiscovery);

}  // namespace varnock::linux_backend
