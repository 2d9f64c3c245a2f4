#include "lookup/linux/probe_socket.h"

// clang-format off
#include <time.h>  // linux/errqueue.h uses struct timespec without declaring it
#include <linux/errqueue.h>
// clang-format on
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>

namespace varnock::linux_backend {
namespace {

// Any port will do: the datagram exists only to make the kernel resolve the
// address. The discard port is the polite choice when it arrives.
constexpr std::uint16_t kDiscardPort = 9;

#ifndef SO_BINDTOIFINDEX
constexpr int SO_BINDTOIFINDEX = 62;  // Linux 5.0; older headers lack it
#endif

constexpr int kSendTries = 3;

// The errors an ICMP message or our kernel's give-up leaves on the socket;
// a send that fails with one of these may be reporting an earlier
// datagram's fate rather than its own.
bool IsEarlierDatagramsError(int error) {
    switch (error) {
        case ECONNREFUSED:
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EHOSTDOWN:
        case ENONET:
        case EPROTO:
        case EMSGSIZE:
            return true;
        default:
            return false;
    }
}

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

UdpProbeSocket::UdpProbeSocket(IpAddress::Family family, std::uint32_t interfaceIndex,
                               Ipv4Address source)
    : socket_(::socket(family == IpAddress::Family::kV6 ? AF_INET6 : AF_INET,
                       SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)),
      family_(family) {
    if (!socket_) {
        Fail("datagram socket");
    }
    // Any user may bind a socket to an interface (Linux 5.7 and later).
    if (interfaceIndex != 0 && ::setsockopt(Fd(), SOL_SOCKET, SO_BINDTOIFINDEX, &interfaceIndex,
                                            sizeof interfaceIndex) < 0) {
        Fail("datagram interface");
    }
    // Set when the socket was made (ip vrf exec, a socket policy), or never.
    flow_ = linux_backend::FlowOf(Fd());
    // Without it the kernel keeps to itself why a datagram could not be sent
    // (a full neighbour table), and an unconnected socket never hears a
    // host's refusal.
    const int on = 1;
    const bool v6 = family == IpAddress::Family::kV6;
    if (::setsockopt(Fd(), v6 ? IPPROTO_IPV6 : IPPROTO_IP, v6 ? IPV6_RECVERR : IP_RECVERR, &on,
                     sizeof on) < 0) {
        Fail("datagram errors");
    }
    // The interface each refusal came in on: the same address on another
    // network is another host.
    if (::setsockopt(Fd(), v6 ? IPPROTO_IPV6 : IPPROTO_IP, v6 ? IPV6_RECVPKTINFO : IP_PKTINFO, &on,
                     sizeof on) < 0) {
        Fail("datagram interfaces");
    }
    if (source != 0 && !v6) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = source;
        // A source that is not ours only means the kernel picks one.
        (void)::bind(Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
}

int UdpProbeSocket::Send(const IpAddress& destination) {
    sockaddr_storage remote{};
    socklen_t length = 0;
    if (destination.IsV6()) {
        auto* address = reinterpret_cast<sockaddr_in6*>(&remote);
        address->sin6_family = AF_INET6;
        address->sin6_port = htons(kDiscardPort);
        std::memcpy(&address->sin6_addr, destination.bytes.data(), 16);
        address->sin6_scope_id = destination.scope;
        length = sizeof *address;
    } else {
        auto* address = reinterpret_cast<sockaddr_in*>(&remote);
        address->sin_family = AF_INET;
        address->sin_port = htons(kDiscardPort);
        address->sin_addr.s_addr = destination.V4Value();
        length = sizeof *address;
    }
    // The socket also holds the last error an earlier datagram met (a host's
    // refusal, our kernel's "host unreachable" when it gave up), and a send
    // reports that one instead of its own, clearing it, without sending: it
    // is sent again. (Not cleared beforehand: a syscall on every lookup for
    // what is rare.)
    int error = 0;
    for (int attempt = 0; attempt < kSendTries; ++attempt) {
        if (::sendto(Fd(), "", 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&remote),
                     length) == 0) {
            return 0;
        }
        error = errno;
        if (!IsEarlierDatagramsError(error)) {
            break;
        }
    }
    return error;
}

std::vector<ProbeSocket::Refusal> UdpProbeSocket::TakeRefusals() {
    std::vector<Refusal> refused;
    const bool v6 = family_ == IpAddress::Family::kV6;
    for (;;) {
        alignas(cmsghdr) char control[256];
        sockaddr_storage original{};
        msghdr message{};
        // The error queue names the destination of the datagram refused.
        message.msg_name = &original;
        message.msg_namelen = sizeof original;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(Fd(), &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            break;
        }
        std::optional<IpAddress> address;
        std::uint32_t interfaceIndex = 0;
        for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
             entry = CMSG_NXTHDR(&message, entry)) {
            if (v6 && entry->cmsg_level == IPPROTO_IPV6 && entry->cmsg_type == IPV6_PKTINFO &&
                entry->cmsg_len >= CMSG_LEN(sizeof(in6_pktinfo))) {
                in6_pktinfo info;
                std::memcpy(&info, CMSG_DATA(entry), sizeof info);
                interfaceIndex = info.ipi6_ifindex;
                continue;
            }
            if (!v6 && entry->cmsg_level == IPPROTO_IP && entry->cmsg_type == IP_PKTINFO &&
                entry->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(entry), sizeof info);
                interfaceIndex = static_cast<std::uint32_t>(info.ipi_ifindex);
                continue;
            }
            const bool ours =
                v6 ? entry->cmsg_level == IPPROTO_IPV6 && entry->cmsg_type == IPV6_RECVERR
                   : entry->cmsg_level == IPPROTO_IP && entry->cmsg_type == IP_RECVERR;
            const std::size_t offenderSize = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
            if (!ours || entry->cmsg_len < CMSG_LEN(sizeof(sock_extended_err) + offenderSize)) {
                continue;
            }
            sock_extended_err error;
            std::memcpy(&error, CMSG_DATA(entry), sizeof error);
            // Port unreachable from the destination itself, not from a
            // router or from our own kernel.
            if (error.ee_origin != (v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP) ||
                error.ee_errno != ECONNREFUSED) {
                continue;
            }
            const unsigned char* offender = CMSG_DATA(entry) + sizeof error;
            if (v6 && message.msg_namelen >= sizeof(sockaddr_in6)) {
                sockaddr_in6 from;
                sockaddr_in6 to;
                std::memcpy(&from, offender, sizeof from);
                std::memcpy(&to, &original, sizeof to);
                if (std::memcmp(&from.sin6_addr, &to.sin6_addr, 16) == 0) {
                    std::array<std::uint8_t, 16> bytes{};
                    std::memcpy(bytes.data(), &to.sin6_addr, 16);
                    address = IpAddress::V6(bytes);
                }
            } else if (!v6 && message.msg_namelen >= sizeof(sockaddr_in)) {
                sockaddr_in from;
                sockaddr_in to;
                std::memcpy(&from, offender, sizeof from);
                std::memcpy(&to, &original, sizeof to);
                if (from.sin_addr.s_addr == to.sin_addr.s_addr) {
                    address = IpAddress::V4(to.sin_addr.s_addr);
                }
            }
        }
        if (address) {
            refused.push_back({*address, interfaceIndex});
        }
    }
    return refused;
}

}  // namespace varnock::linux_backend
