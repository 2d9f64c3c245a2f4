#pragma once

// Where the engine's kernel notifications come from: the subscribed netlink
// socket, or a scripted one in tests.

#include <cstddef>
#include <functional>
#include <span>

namespace varnock::linux_backend {

// One datagram of notifications; empty when none is waiting, and `lost`
// when the kernel had to drop some because we read too slowly.
struct NotificationBatch {
    std::span<const std::byte> bytes;
    bool lost = false;
};

class NotificationSource {
public:
    virtual ~NotificationSource() = default;
    // Never waits. Throws std::system_error when the socket fails.
    virtual NotificationBatch ReceiveNotifications() = 0;
};

// Reads everything queued, handing each datagram to `heard`. After a loss,
// what is still queued is older than any table read from then on and would
// undo it: it is read and dropped first, then `lost` is called (to read the
// table), and reading goes on with what comes after.
void ReadQueuedNotifications(NotificationSource& source,
                             const std::function<void(std::span<const std::byte>)>& heard,
                             const std::function<void()>& lost);

}  // namespace varnock::linux_backend
