#include "lookup/linux/netlink_socket.h"

#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {
namespace {

[[noreturn]] void ThrowErrno(const char* operation) {
    throw std::system_error(errno, std::generic_category(), operation);
}

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
    }
    // A request socket needs no bind: the kernel gives it a port id with its
    // first message (read back after that send).
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
    if (portId_ == 0) {
        sockaddr_nl local{};
        socklen_t length = sizeof local;
        if (getsockname(Fd(), reinterpret_cast<sockaddr*>(&local), &length) < 0) {
            ThrowErrno("netlink port");
        }
        portId_ = local.nl_pid;
    }
    const bool isDump = (request->nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;
    bool interrupted = false;
    for (;;) {
        // The kernel answers within the send: read first, and wait only
        // when nothing has come yet.
        sockaddr_nl sender{};
        socklen_t senderLength = sizeof sender;
        // MSG_TRUNC: the datagram's real length, so a cut one is noticed.
        const ssize_t received =
            ::recvfrom(Fd(), buffer_.get(), kReceiveBufferSize, MSG_DONTWAIT | MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received > static_cast<ssize_t>(kReceiveBufferSize)) {
            throw std::system_error(ENOSPC, std::generic_category(), "netlink reply too large");
        }
        if (received < 0) {
            if (errno == EAGAIN) {
                WaitForReply();
                continue;
            }
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno("netlink receive");
        }
        if (sender.nl_pid != 0) {
            continue;  // not the kernel
        }
        const auto status =
            rtnl::ForEachMessage(std::span(buffer_.get(), static_cast<std::size_t>(received)),
                                 request->nlmsg_seq, portId_, onMessage);
        interrupted = interrupted || status.interrupted;
        if (status.result < 0) {
            if (status.error == EPROTO || status.error == ESRCH) {
                continue;  // a reply to another request, or for another port
            }
            return status.error;
        }
        // A plain query is answered in one datagram with no closing message;
        // a dump ends with NLMSG_DONE.
        if (status.result == 0 || !isDump) {
            return interrupted ? EINTR : 0;
        }
    }
}

void NetlinkSocket::WaitForReply() const {
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    pollfd readable{Fd(), POLLIN, 0};
    const int ready =
        ::poll(&readable, 1, static_cast<int>(std::clamp<long long>(remaining.count(), 0, 60'000)));
    if (ready < 0 && errno != EINTR) {
        ThrowErrno("netlink poll");
    }
    if (ready == 0) {
        throw std::system_error(ETIMEDOUT, std::generic_category(), "netlink reply");
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
