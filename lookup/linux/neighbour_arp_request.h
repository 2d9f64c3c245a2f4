#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "lookup/arp_request.h"

namespace varnock::linux_backend {

// Resolves a neighbour through the kernel's own ARP, which any user may
// trigger: no raw sockets, no capabilities. The kernel is asked over
// rtnetlink what it already knows, an empty datagram makes it send the ARP
// request, and its neighbour notifications bring the answer.
class NeighbourArpRequest final : public ArpRequest {
public:
    // `notificationBufferBytes` > 0 shrinks the notification socket's
    // receive buffer: only tests want that, to make the kernel drop
    // notifications.
    explicit NeighbourArpRequest(int notificationBufferBytes = 0)
        : notificationBufferBytes_(notificationBufferBytes) {}

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override;

    // Waits no longer than `maxWait` after sending for a host to answer,
    // even when the kernel would go on trying.
    void LimitWait(std::chrono::milliseconds maxWait) { maxWait_ = maxWait; }

    // How many times the kernel dropped notifications on us (ENOBUFS), over
    // all lookups so far. Each time the lookup asked the table instead.
    std::uint64_t LostNotificationBatches() const { return lostNotificationBatches_; }

private:
    int notificationBufferBytes_;
    std::optional<std::chrono::milliseconds> maxWait_;
    std::atomic<std::uint64_t> lostNotificationBatches_{0};
};

}  // namespace varnock::linux_backend
