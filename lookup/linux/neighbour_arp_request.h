#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "lookup/arp_request.h"
#include "lookup/linux/live_neighbour_resolver.h"

namespace varnock::linux_backend {

// The window's IPv4 request on Linux: the live resolver's answer in the
// caller's buffer.
class NeighbourArpRequest final : public ArpRequest {
public:
    // `notificationBufferBytes` > 0 shrinks the notification socket's
    // receive buffer: only tests want that, to make the kernel drop
    // notifications.
    explicit NeighbourArpRequest(int notificationBufferBytes = 0)
        : resolver_(notificationBufferBytes) {}

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override;

    // Waits no longer than `maxWait` after sending for a host to answer,
    // even when the kernel would go on trying.
    void LimitWait(std::chrono::milliseconds maxWait) { maxWait_ = maxWait; }

    std::uint64_t LostNotificationBatches() const { return resolver_.LostNotificationBatches(); }

private:
    LiveNeighbourResolver resolver_;
    std::optional<std::chrono::milliseconds> maxWait_;
};

}  // namespace varnock::linux_backend
