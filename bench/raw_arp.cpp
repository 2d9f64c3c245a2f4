#include "bench/raw_arp.h"

#include <arpa/inet.h>
#include <libmnl/libmnl.h>
#include <linux/if_packet.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace varnock::bench {
namespace {

#pragma pack(push, 1)
struct ArpPacket {
    arphdr header;
    std::uint8_t senderHardware[6];
    std::uint32_t senderAddress;
    std::uint8_t targetHardware[6];
    std::uint32_t targetAddress;
};
#pragma pack(pop)

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

RawArp::RawArp(const std::string& interfaceName, std::uint32_t sourceAddress)
    : sourceAddress_(sourceAddress) {
    fd_.Reset(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    if (!fd_) {
        Fail("packet socket");
    }
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName.c_str(), IFNAMSIZ - 1);
    if (::ioctl(fd_.Get(), SIOCGIFHWADDR, &request) < 0) {
        Fail("SIOCGIFHWADDR");
    }
    std::memcpy(ownHardwareAddress_, request.ifr_hwaddr.sa_data, 6);
    interfaceIndex_ = static_cast<int>(if_nametoindex(interfaceName.c_str()));
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_ARP);
    local.sll_ifindex = interfaceIndex_;
    if (::bind(fd_.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        Fail("bind packet socket");
    }
}

bool RawArp::Resolve(std::uint32_t target, int timeoutMs) {
    ArpPacket packet{};
    packet.header.ar_hrd = htons(ARPHRD_ETHER);
    packet.header.ar_pro = htons(ETH_P_IP);
    packet.header.ar_hln = 6;
    packet.header.ar_pln = 4;
    packet.header.ar_op = htons(ARPOP_REQUEST);
    std::memcpy(packet.senderHardware, ownHardwareAddress_, 6);
    packet.senderAddress = sourceAddress_;
    packet.targetAddress = target;

    sockaddr_ll broadcast{};
    broadcast.sll_family = AF_PACKET;
    broadcast.sll_protocol = htons(ETH_P_ARP);
    broadcast.sll_ifindex = interfaceIndex_;
    broadcast.sll_halen = 6;
    std::memset(broadcast.sll_addr, 0xFF, 6);
    if (::sendto(fd_.Get(), &packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&broadcast),
                 sizeof broadcast) < 0) {
        Fail("send ARP");
    }
    for (;;) {
        pollfd watched{fd_.Get(), POLLIN, 0};
        if (::poll(&watched, 1, timeoutMs) <= 0) {
            return false;
        }
        ArpPacket reply{};
        if (::recv(fd_.Get(), &reply, sizeof reply, 0) == static_cast<ssize_t>(sizeof reply) &&
            reply.header.ar_op == htons(ARPOP_REPLY) && reply.senderAddress == target) {
            return true;
        }
    }
}

NeighbourEraser::NeighbourEraser(const std::string& interfaceName)
    : interfaceIndex_(static_cast<int>(if_nametoindex(interfaceName.c_str()))) {
    fd_.Reset(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd_) {
        Fail("netlink socket");
    }
}

void NeighbourEraser::Erase(std::uint32_t address) {
    char buffer[256] = {};
    nlmsghdr* header = mnl_nlmsg_put_header(buffer);
    header->nlmsg_type = RTM_DELNEIGH;
    header->nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    header->nlmsg_seq = ++sequence_;
    auto* entry = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(header, sizeof(ndmsg)));
    entry->ndm_family = AF_INET;
    entry->ndm_ifindex = interfaceIndex_;
    mnl_attr_put_u32(header, NDA_DST, address);
    if (::send(fd_.Get(), header, header->nlmsg_len, 0) < 0) {
        Fail("RTM_DELNEIGH");
    }
    char reply[1024];
    // The acknowledgement; ENOENT (already gone) is as good as deleted.
    if (::recv(fd_.Get(), reply, sizeof reply, 0) < 0) {
        Fail("RTM_DELNEIGH reply");
    }
}

}  // namespace varnock::bench
