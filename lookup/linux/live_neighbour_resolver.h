#pragma once

#include <atomic>
#include <cstdint>

#include "lookup/neighbour_resolver.h"

namespace varnock::linux_backend {

// Resolves a neighbour through the kernel's own ARP or neighbour discovery,
// which any user may trigger: no raw sockets, no capabilities. The kernel is
// asked over rtnetlink what it already knows, an empty datagram makes it
// resolve the address (or asks the host behind an entry it has not heard
// from lately), and its notifications bring the answer. Only addresses the
// host or the kernel confirmed for this lookup are answers.
class LiveNeighbourResolver final : public NeighbourResolver {
public:
    // `notificationBufferBytes` > 0 shrinks the notification socket's
    // receive buffer: only tests want that, to make the kernel drop
    // notifications.
    explicit LiveNeighbourResolver(int notificationBufferBytes = 0)
        : notificationBufferBytes_(notificationBufferBytes) {}

    NeighbourAnswer Resolve(const NeighbourQuery& query) override;

    // How many times the kernel dropped notifications on us (ENOBUFS), over
    // all lookups so far. Each time the lookup asked the table instead.
    std::uint64_t LostNotificationBatches() const { return lostNotificationBatches_; }

private:
    int notificationBufferBytes_;
    std::atomic<std::uint64_t> lostNotificationBatches_{0};
};

}  // namespace varnock::linux_backend
