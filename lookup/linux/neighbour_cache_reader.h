#pragma once

#include <optional>

#include "lookup/arp_request.h"

namespace varnock::linux_backend {

// Answers from the kernel's neighbour table as it stands, for users who ask
// for what is cached: nothing is sent, not even to confirm an entry, and
// each answer says how the kernel knew it (LastProvenance).
class NeighbourCacheReader final : public ArpRequest {
public:
    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override;

    std::optional<AnswerProvenance> LastProvenance() const override { return provenance_; }

private:
    std::optional<AnswerProvenance> provenance_;
};

}  // namespace varnock::linux_backend
