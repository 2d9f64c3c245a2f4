#pragma once

// Where the engine's kernel notifications come from: the subscribed netlink
// socket, or a scripted one in tests.

#include <cstddef>
#include <functional>
#include <span>

#include "lookup/linux/rtnetlink_messages.h"

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
    // Polled for input; negative when there is nothing to poll, and the
    // notifications are read whenever the engine wakes.
    virtual int Fd() const = 0;
};

// Reads everything queued, handing each datagram to `heard`. After a loss,
// what is still queued is older than any table read from then on and would
// undo it: it is read and dropped first, then `lost` is called (to read the
// table), and reading goes on with what comes after.
void ReadQueuedNotifications(NotificationSource& source,
                             const std::function<void(std::span<const std::byte>)>& heard,
                             const std::function<void()>& lost);

// Hands each message of a notification datagram on: a change of an
// interface (it came, changed or went) to `link`, a neighbour entry to
// `neighbour`; others are skipped.
void ForEachNotification(std::span<const std::byte> datagram,
                         const std::function<void(std::uint32_t interfaceIndex)>& link,
                         const std::function<void(const rtnl::Neighbour&)>& neighbour);

}  // namespace varnock::linux_backend
