#include "lookup/neighbour_engine.h"

#include <utility>

namespace varnock {

NeighbourAnswer ResolveNow(NeighbourEngine& engine, const NeighbourQuery& query) {
    std::optional<NeighbourAnswer> answer;
    engine.Submit(query, [&](NeighbourEngine::Ticket, NeighbourAnswer&& final) {
        answer = std::move(final);
    });
    while (!answer) {
        engine.Run(NeighbourEngine::Clock::now() + std::chrono::hours(1));
    }
    return std::move(*answer);
}

}  // namespace varnock
