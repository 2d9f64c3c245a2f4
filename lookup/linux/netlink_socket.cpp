#include "lookup/linux/netlink_socket.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <system_error>

#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {
namespace {

[[noreturn]] void ThrowErrno(const char* operation) {
    throw std::system_error(errno, std::generic_category(), operation);
}

// The kernel answers a request at once; this only keeps a broken kernel
// from holding the caller forever.
constexpr timeval kReplyTimeout{2, 0};

// Large enough for a dump datagram on any page size the kernel uses.
constexpr std::size_t kReceiveBufferSize = 32768;

}  // namespace

NetlinkSocket::NetlinkSocket(Mode mode, unsigned int groups)
    // Not zeroed: only what the kernel writes is ever read.
    : buffer_(std::make_unique_for_overwrite<std::byte[]>(kReceiveBufferSize)) {
    const int flags = SOCK_CLOEXEC | (mode == Mode::kNotifications ? SOCK_NONBLOCK : 0);
    socket_.reset(mnl_socket_open2(NETLINK_ROUTE, flags));
    if (!socket_) {
        ThrowErrno("netlink socket");
    }
    if (mode == Mode::kNotifications) {
        if (mnl_socket_bind(socket_.get(), groups, MNL_SOCKET_AUTOPID) < 0) {
            ThrowErrno("netlink bind");
        }
    } else if (setsockopt(Fd(), SOL_SOCKET, SO_RCVTIMEO, &kReplyTimeout, sizeof kReplyTimeout) <
               0) {
        // A request socket needs no bind: the kernel gives it a port id with
        // its first message, and replies are matched by sequence number.
        ThrowErrno("netlink receive timeout");
    }
}

int NetlinkSocket::Fd() const {
    return mnl_socket_get_fd(socket_.get());
}

void NetlinkSocket::LimitReceiveBuffer(int bytes) {
    if (setsockopt(Fd(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) < 0) {
        ThrowErrno("netlink receive buffer");
    }
}

int NetlinkSocket::Exchange(nlmsghdr* request,
                            const std::function<void(const nlmsghdr&)>& onMessage) {
    request->nlmsg_seq = ++lastSequence_;
    if (mnl_socket_sendto(socket_.get(), request, request->nlmsg_len) < 0) {
        ThrowErrno("netlink send");
    }
    const bool isDump = (request->nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;
    for (;;) {
        const ssize_t received =
            mnl_socket_recvfrom(socket_.get(), buffer_.get(), kReceiveBufferSize);
        if (received < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno("netlink receive");
        }
        const auto status =
            rtnl::ForEachMessage(std::span(buffer_.get(), static_cast<std::size_t>(received)),
                                 request->nlmsg_seq, 0, onMessage);
        if (status.result < 0) {
            return status.error;
        }
        // A plain query is answered in one datagram with no closing message;
        // a dump ends with NLMSG_DONE.
        if (status.result == 0 || !isDump) {
            return 0;
        }
    }
}

NetlinkSocket::Batch NetlinkSocket::ReceiveNotifications() {
    for (;;) {
        const ssize_t received =
            mnl_socket_recvfrom(socket_.get(), buffer_.get(), kReceiveBufferSize);
        if (received >= 0) {
            return {std::span(buffer_.get(), static_cast<std::size_t>(received)), false};
        }
        switch (errno) {
            case EINTR:
                continue;
            case EAGAIN:
                return {};
            case ENOBUFS:
                // The kernel dropped notifications: the caller re-reads state.
                return {{}, true};
            default:
                ThrowErrno("netlink receive");
        }
    }
}

}  // namespace varnock::linux_backend
