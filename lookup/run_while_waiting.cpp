// Runs an engine while a feed that knows nothing of it waits.

#include <algorithm>
#include <utility>

#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_feed.h"

namespace varnock {
namespace {

// How long the feed waits at a time while lookups are in flight: their
// answers are handed over no later than this.
constexpr std::chrono::milliseconds kTurn{20};

class EngineRunningFeed final : public NeighbourFeed {
public:
    EngineRunningFeed(NeighbourEngine& engine, std::unique_ptr<NeighbourFeed> changes)
        : engine_(engine), changes_(std::move(changes)) {}

    std::vector<NeighbourEntry> Table() override { return changes_->Table(); }

    NeighbourChanges Next(std::chrono::milliseconds wait) override {
        const auto until = NeighbourEngine::Clock::now() + wait;
        for (;;) {
            engine_.Run(NeighbourEngine::Clock::now());
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(until - NeighbourEngine::Clock::now());
            const auto turn = engine_.InFlight() > 0 ? std::min(left, kTurn) : left;
            auto changes = changes_->Next(std::max(turn, std::chrono::milliseconds(0)));
            if (!changes.entries.empty() || changes.wholeTable || turn >= left) {
                engine_.Run(NeighbourEngine::Clock::now());
                return changes;
            }
        }
    }

private:
    NeighbourEngine& engine_;
    std::unique_ptr<NeighbourFeed> changes_;
};

}  // namespace

std::unique_ptr<NeighbourFeed> RunWhileWaiting(NeighbourEngine& engine,
                                               std::unique_ptr<NeighbourFeed> changes) {
    return std::make_unique<EngineRunningFeed>(engine, std::move(changes));
}

}  // namespace varnock
