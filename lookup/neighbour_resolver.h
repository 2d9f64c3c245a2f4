#pragma once

// A lookup that blocks until its answer: what a system whose own call blocks
// (Windows' SendARP) and the tests' scripted neighbours provide.
// ThreadedNeighbourEngine makes an engine of it.

#include "lookup/neighbour_engine.h"

namespace varnock {

class NeighbourResolver {
public:
    virtual ~NeighbourResolver() = default;

    // Blocks until the answer, a refusal or the system's give-up. Throws
    // std::system_error when the system cannot be asked at all.
    virtual NeighbourAnswer Resolve(const NeighbourQuery& query) = 0;
};

}  // namespace varnock
