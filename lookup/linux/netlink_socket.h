#pragma once

#include <libmnl/libmnl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace varnock::linux_backend {

// One NETLINK_ROUTE socket, closed when the object goes.
class NetlinkSocket {
public:
    enum class Mode { kRequests, kNotifications };

    // kRequests: a blocking socket for request and reply. kNotifications: a
    // non-blocking socket subscribed to `groups` (RTMGRP_*).
    // Throws std::system_error when the kernel cannot be asked.
    explicit NetlinkSocket(Mode mode, unsigned int groups = 0);

    int Fd() const;

    // Caps how much the kernel may queue for us before it drops messages.
    void LimitReceiveBuffer(int bytes);

    // Numbers and sends `request`, then hands every message of the reply to
    // `onMessage`. Returns 0, or the errno that the kernel answered with.
    int Exchange(nlmsghdr* request, const std::function<void(const nlmsghdr&)>& onMessage);

    // One datagram of notifications; empty when none is waiting, and `lost`
    // when the kernel had to drop some because we read too slowly.
    struct Batch {
        std::span<const std::byte> bytes;
        bool lost = false;
    };
    Batch ReceiveNotifications();

private:
    struct Closer {
        void operator()(mnl_socket* socket) const { mnl_socket_close(socket); }
    };
    std::unique_ptr<mnl_socket, Closer> socket_;
    std::uint32_t lastSequence_ = 0;
    std::unique_ptr<std::byte[]> buffer_;
};

}  // namespace varnock::linux_backend
