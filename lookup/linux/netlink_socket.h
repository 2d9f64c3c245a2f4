#pragma once

#include <libmnl/libmnl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "lookup/linux/notification_source.h"

namespace varnock::linux_backend {

// One NETLINK_ROUTE socket, closed when the object goes.
class NetlinkSocket final : public NotificationSource {
public:
    enum class Mode { kRequests, kNotifications };

    // kRequests: a blocking socket for request and reply. kNotifications: a
    // non-blocking socket subscribed to `groups` (RTMGRP_*).
    // Throws std::system_error when the kernel cannot be asked.
    explicit NetlinkSocket(Mode mode, unsigned int groups = 0);

    int Fd() const override;

    // Caps how much the kernel may queue for us before it drops messages.
    void LimitReceiveBuffer(int bytes);

    // Replies are waited for no later than this (the lookup's own deadline);
    // one that has not come by then throws std::system_error (ETIMEDOUT).
    // The kernel answers within the send, so a query made at the deadline
    // still gets its reply.
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }

    // Numbers and sends `request`, then hands every message of the reply to
    // `onMessage`. Only the kernel's replies to this request count: others
    // (a late reply to an earlier one, another sender) are dropped. Returns
    // 0, the errno that the kernel answered with, or EINTR when a dump was
    // interrupted by a change of the table (read to its end; ask again).
    int Exchange(nlmsghdr* request, const std::function<void(const nlmsghdr&)>& onMessage);

    using Batch = NotificationBatch;
    Batch ReceiveNotifications() override;

private:
    // Waits until a reply is there, no later than the deadline (then throws).
    void WaitForReply() const;

    struct Closer {
        void operator()(mnl_socket* socket) const { mnl_socket_close(socket); }
    };
    std::unique_ptr<mnl_socket, Closer> socket_;
    std::uint32_t lastSequence_ = 0;
    std::uint32_t portId_ = 0;  // the kernel's, known after the first send
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    std::unique_ptr<std::byte[]> buffer_;
};

}  // namespace varnock::linux_backend
