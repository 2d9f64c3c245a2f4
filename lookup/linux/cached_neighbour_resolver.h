#pragma once

#include "lookup/neighbour_resolver.h"

namespace varnock::linux_backend {

// Answers from the kernel's neighbour table as it stands, for users who ask
// for what is cached: nothing is sent, not even to confirm an entry, and
// each answer says how the kernel knew it.
class CachedNeighbourResolver final : public NeighbourResolver {
public:
    NeighbourAnswer Resolve(const NeighbourQuery& query) override;
};

}  // namespace varnock::linux_backend
