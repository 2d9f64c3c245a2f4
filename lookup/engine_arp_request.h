#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "lookup/arp_request.h"
#include "lookup/neighbour_engine.h"

namespace varnock {

// The window's ARP request over a neighbour engine: the engine's answer in
// the caller's buffer, one address at a time.
class EngineArpRequest final : public ArpRequest {
public:
    // `maxWait` caps each lookup's wait; without it the system's schedule.
    explicit EngineArpRequest(std::unique_ptr<NeighbourEngine> engine,
                              std::optional<std::chrono::milliseconds> maxWait = std::nullopt)
        : engine_(std::move(engine)), maxWait_(maxWait) {}

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override;

    NeighbourEngine& Engine() { return *engine_; }

private:
    std::unique_ptr<NeighbourEngine> engine_;
    std::optional<std::chrono::milliseconds> maxWait_;
};

}  // namespace varnock
