#include "lookup/linux/notification_source.h"

namespace varnock::linux_backend {
namespace {

// Queued notifications dropped at most after a loss (each read is one
// datagram): a table that churns without end still gets its reading.
constexpr int kMostDropped = 100'000;

void DropQueued(NotificationSource& source) {
    for (int dropped = 0; dropped < kMostDropped; ++dropped) {
        const auto stale = source.ReceiveNotifications();
        if (stale.bytes.empty() && !stale.lost) {
            return;
        }
    }
}

}  // namespace

void ReadQueuedNotifications(NotificationSource& source,
                             const std::function<void(std::span<const std::byte>)>& heard,
                             const std::function<void()>& lost) {
    for (;;) {
        const auto batch = source.ReceiveNotifications();
        if (batch.lost) {
            DropQueued(source);
            lost();
            continue;
        }
        if (batch.bytes.empty()) {
            return;
        }
        heard(batch.bytes);
    }
}

void ForEachNotification(std::span<const std::byte> datagram,
                         const std::function<void(std::uint32_t interfaceIndex)>& link,
                         const std::function<void(const rtnl::Neighbour&)>& neighbour) {
    rtnl::ForEachMessage(datagram, 0, 0, [&](const nlmsghdr& message) {
        if (const auto changed = rtnl::ParseLinkChange(message)) {
            link(*changed);
        } else if (const auto entry = rtnl::ParseNeighbour(message)) {
            neighbour(*entry);
        }
    });
}

}  // namespace varnock::linux_backend
