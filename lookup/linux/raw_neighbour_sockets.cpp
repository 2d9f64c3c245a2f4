#include "lookup/linux/raw_neighbour_sockets.h"

#include <arpa/inet.h>
#include <linux/if_arp.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace varnock::linux_backend {
namespace {

constexpr int kNeighbourDiscoveryHops = 255;
// A sweep sends thousands of requests a second: room for the replies of a
// few hundred milliseconds.
constexpr int kReceiveBufferBytes = 1 << 20;

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void SetOption(int fd, int level, int name, const void* value, socklen_t size, const char* what) {
    if (::setsockopt(fd, level, name, value, size) != 0) {
        Fail(what);
    }
}

void SetInt(int fd, int level, int name, int value, const char* what) {
    SetOption(fd, level, name, &value, sizeof value, what);
}

int SentOrError(ssize_t sent) {
    return sent >= 0 ? 0 : errno;
}

class OpenedRawSockets final : public RawNeighbourSockets {
public:
    OpenedRawSockets(ArpSocket arp, std::optional<NeighbourDiscoverySocket> neighbourDiscovery)
        : arp_(std::move(arp)), neighbourDiscovery_(std::move(neighbourDiscovery)) {}

    int ArpFd() const override { return arp_.Fd(); }
    int SendArpRequest(std::uint32_t interfaceIndex, const packets::ArpPacket& request) override {
        return arp_.SendRequest(interfaceIndex, request);
    }
    std::optional<ArpSocket::Received> ReceiveArpReply() override { return arp_.Receive(); }

    bool HasNeighbourDiscovery() const override { return neighbourDiscovery_.has_value(); }
    int NeighbourDiscoveryFd() const override { return neighbourDiscovery_->Fd(); }
    int SendSolicitation(std::uint32_t interfaceIndex, const packets::Ipv6Bytes& target,
                         const packets::HardwareAddress& sender) override {
        return neighbourDiscovery_->SendSolicitation(interfaceIndex, target, sender);
    }
    std::optional<NeighbourDiscoverySocket::Received> ReceiveAdvertisement() override {
        return neighbourDiscovery_->Receive();
    }

private:
    ArpSocket arp_;
    std::optional<NeighbourDiscoverySocket> neighbourDiscovery_;
};

}  // namespace

ArpSocket::ArpSocket()
    // Protocol 0: nothing is received before the filter is in place; the
    // bind below then starts reception, filtered.
    : fd_(::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
    if (!fd_) {
        Fail("packet socket");
    }
    const auto filter = packets::ArpReplyFilter();
    sock_fprog program{static_cast<unsigned short>(filter.size()),
                       const_cast<sock_filter*>(filter.data())};
    SetOption(fd_.Get(), SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program, "ARP filter");
    // Best effort: the default buffer works too, only with less slack.
    int size = kReceiveBufferBytes;
    ::setsockopt(fd_.Get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_ll all{};
    all.sll_family = AF_PACKET;
    all.sll_protocol = htons(ETH_P_ARP);
    if (::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&all), sizeof all) != 0) {
        Fail("packet socket bind");
    }
}

int ArpSocket::SendRequest(std::uint32_t interfaceIndex, const packets::ArpPacket& request) {
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = static_cast<int>(interfaceIndex);
    to.sll_halen = ETH_ALEN;
    std::fill_n(to.sll_addr, ETH_ALEN, 0xFF);
    return SentOrError(::sendto(fd_.Get(), request.data(), request.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to));
}

std::optional<ArpSocket::Received> ArpSocket::Receive() {
    for (;;) {
        std::array<std::uint8_t, 128> buffer{};
        sockaddr_ll from{};
        socklen_t fromSize = sizeof from;
        const ssize_t got = ::recvfrom(fd_.Get(), buffer.data(), buffer.size(), MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;  // EAGAIN: nothing more waits
        }
        // Our own requests and copies of other hosts' traffic are no
        // replies to us.
        if (from.sll_pkttype == PACKET_OUTGOING || from.sll_pkttype == PACKET_OTHERHOST) {
            continue;
        }
        const std::size_t length =
            std::min<std::size_t>(static_cast<std::size_t>(got), buffer.size());
        if (auto reply = packets::ParseArpReply(std::span(buffer.data(), length))) {
            return Received{static_cast<std::uint32_t>(from.sll_ifindex), *reply};
        }
    }
}

NeighbourDiscoverySocket::NeighbourDiscoverySocket()
    : fd_(::socket(AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6)) {
    if (!fd_) {
        Fail("ICMPv6 socket");
    }
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(ND_NEIGHBOR_ADVERT, &filter);
    SetOption(fd_.Get(), IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter, "ICMPv6 filter");
    // Neighbour discovery is answered only when it comes with 255 hops.
    SetInt(fd_.Get(), IPPROTO_IPV6, IPV6_MULTICAST_HOPS, kNeighbourDiscoveryHops, "hop limit");
    SetInt(fd_.Get(), IPPROTO_IPV6, IPV6_UNICAST_HOPS, kNeighbourDiscoveryHops, "hop limit");
    SetInt(fd_.Get(), IPPROTO_IPV6, IPV6_MULTICAST_LOOP, 0, "multicast loop");
    SetInt(fd_.Get(), IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1, "receive hop limit");
    SetInt(fd_.Get(), IPPROTO_IPV6, IPV6_RECVPKTINFO, 1, "receive interface");
    int size = kReceiveBufferBytes;
    ::setsockopt(fd_.Get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

int NeighbourDiscoverySocket::SendSolicitation(std::uint32_t interfaceIndex,
                                               const packets::Ipv6Bytes& target,
                                               const packets::HardwareAddress& sender) {
    const auto message = packets::BuildNeighbourSolicitation(target, sender);
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    const auto group = packets::SolicitedNodeGroup(target);
    std::memcpy(&to.sin6_addr, group.data(), group.size());
    to.sin6_scope_id = interfaceIndex;
    return SentOrError(::sendto(fd_.Get(), message.data(), message.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to));
}

std::optional<NeighbourDiscoverySocket::Received> NeighbourDiscoverySocket::Receive() {
    for (;;) {
        std::array<std::uint8_t, 1500> buffer{};
        alignas(cmsghdr) std::array<char, 128> control{};
        iovec part{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t got = ::recvmsg(fd_.Get(), &message, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        Received received;
        for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
             item = CMSG_NXTHDR(&message, item)) {
            if (item->cmsg_level != IPPROTO_IPV6) {
                continue;
            }
            if (item->cmsg_type == IPV6_HOPLIMIT && item->cmsg_len >= CMSG_LEN(sizeof(int))) {
                std::memcpy(&received.hopLimit, CMSG_DATA(item), sizeof(int));
            } else if (item->cmsg_type == IPV6_PKTINFO &&
                       item->cmsg_len >= CMSG_LEN(sizeof(in6_pktinfo))) {
                in6_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(item), sizeof info);
                received.interfaceIndex = info.ipi6_ifindex;
            }
        }
        const std::size_t length =
            (message.msg_flags & MSG_TRUNC) != 0 ? 0 : static_cast<std::size_t>(got);
        if (auto advertisement =
                packets::ParseNeighbourAdvertisement(std::span(buffer.data(), length))) {
            received.advertisement = *advertisement;
            return received;
        }
    }
}

std::unique_ptr<RawNeighbourSockets> SystemRawSockets(
    ArpSocket arp, std::optional<NeighbourDiscoverySocket> neighbourDiscovery) {
    return std::make_unique<OpenedRawSockets>(std::move(arp), std::move(neighbourDiscovery));
}

}  // namespace varnock::linux_backend
