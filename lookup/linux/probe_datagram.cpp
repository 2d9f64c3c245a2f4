#include "lookup/linux/probe_datagram.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace varnock::linux_backend {
namespace {

// Any port will do: the datagram exists only to make the kernel resolve the
// address. The discard port is the polite choice when it arrives.
constexpr std::uint16_t kDiscardPort = 9;

#ifndef SO_BINDTOIFINDEX
constexpr int SO_BINDTOIFINDEX = 62;  // Linux 5.0; older headers lack it
#endif

sockaddr_in SocketAddress(Ipv4Address address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = address;
    return result;
}

// The destination's socket address, either family, and its length.
struct RemoteAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};
RemoteAddress RemoteOf(const IpAddress& destination) {
    RemoteAddress remote;
    if (destination.IsV6()) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(kDiscardPort);
        std::memcpy(&address.sin6_addr, destination.bytes.data(), 16);
        address.sin6_scope_id = destination.scope;
        std::memcpy(&remote.storage, &address, sizeof address);
        remote.length = sizeof address;
    } else {
        const sockaddr_in address = SocketAddress(destination.V4Value(), kDiscardPort);
        std::memcpy(&remote.storage, &address, sizeof address);
        remote.length = sizeof address;
    }
    return remote;
}

std::uint32_t ReadOption(int fd, int option) {
    std::uint32_t value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, option, &value, &length) < 0) {
        return 0;  // an older kernel that cannot tell has set nothing either
    }
    return value;
}

}  // namespace

ProbeDatagram::ProbeDatagram(const IpAddress& destination, Ipv4Address source,
                             std::uint32_t interfaceIndex)
    : socket_(::socket(destination.IsV6() ? AF_INET6 : AF_INET,
                       SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)),
      destination_(destination),
      source_(source) {
    if (!socket_) {
        throw std::system_error(errno, std::generic_category(), "datagram socket");
    }
    // Any user may bind a socket to an interface (Linux 5.7 and later).
    if (interfaceIndex != 0 && ::setsockopt(Fd(), SOL_SOCKET, SO_BINDTOIFINDEX, &interfaceIndex,
                                            sizeof interfaceIndex) < 0) {
        throw std::system_error(errno, std::generic_category(), "datagram interface");
    }
}

ProbeDatagram::Flow ProbeDatagram::FlowOf() const {
    // Set when the socket was made (ip vrf exec, a socket policy), or never.
    return {ReadOption(Fd(), SO_BINDTOIFINDEX), ReadOption(Fd(), SO_MARK)};
}

int ProbeDatagram::Send() {
    if (!prepared_) {
        // Done only once something is to be sent: a lookup the table answers
        // never pays for it.
        prepared_ = true;
        // Without it the kernel keeps to itself why a datagram could not be
        // sent (a full neighbour table).
        const int on = 1;
        const bool v6 = destination_.IsV6();
        if (::setsockopt(Fd(), v6 ? IPPROTO_IPV6 : IPPROTO_IP, v6 ? IPV6_RECVERR : IP_RECVERR, &on,
                         sizeof on) < 0) {
            throw std::system_error(errno, std::generic_category(), "datagram errors");
        }
        if (source_ != 0 && !v6) {
            const sockaddr_in local = SocketAddress(source_, 0);
            // A source that is not ours only means the kernel picks one.
            (void)::bind(Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
        }
        // Connected, the socket hears the host's own "port unreachable".
        const RemoteAddress remote = RemoteOf(destination_);
        if (::connect(Fd(), reinterpret_cast<const sockaddr*>(&remote.storage), remote.length) <
            0) {
            return errno;
        }
    } else {
        // An error left from the datagram before (the kernel's own "host
        // unreachable" after it gave up) would be reported by this send
        // instead of sending.
        DrainErrors();
    }
    return ::send(Fd(), "", 0, MSG_DONTWAIT) < 0 ? errno : 0;
}

bool ProbeDatagram::Refused() {
    DrainErrors();
    return refused_;
}

void ProbeDatagram::DrainErrors() {
    for (;;) {
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(Fd(), &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            break;
        }
        for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
             entry = CMSG_NXTHDR(&message, entry)) {
            const bool v4 = entry->cmsg_level == IPPROTO_IP && entry->cmsg_type == IP_RECVERR;
            const bool v6 = entry->cmsg_level == IPPROTO_IPV6 && entry->cmsg_type == IPV6_RECVERR;
            const std::size_t offenderSize = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
            if ((!v4 && !v6) ||
                entry->cmsg_len < CMSG_LEN(sizeof(sock_extended_err) + offenderSize)) {
                continue;
            }
            sock_extended_err error;
            std::memcpy(&error, CMSG_DATA(entry), sizeof error);
            // Port unreachable from the destination itself, not from a
            // router or from our own kernel.
            const auto origin = v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP;
            if (error.ee_origin != origin || error.ee_errno != ECONNREFUSED) {
                continue;
            }
            const unsigned char* offender = CMSG_DATA(entry) + sizeof error;
            if (v6) {
                sockaddr_in6 from;
                std::memcpy(&from, offender, sizeof from);
                refused_ =
                    refused_ || std::memcmp(&from.sin6_addr, destination_.bytes.data(), 16) == 0;
            } else {
                sockaddr_in from;
                std::memcpy(&from, offender, sizeof from);
                refused_ = refused_ || from.sin_addr.s_addr == destination_.V4Value();
            }
        }
    }
    // Reading the queue to its end also clears the error the socket would
    // report next.
}

}  // namespace varnock::linux_backend
