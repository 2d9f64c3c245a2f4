// The feed a watch read its changes from, over the engine's observer: kept
// only until the console's watch observes the engine itself.

#include <utility>

#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_feed.h"

namespace varnock {
namespace {

class ObservedFeed final : public NeighbourFeed, private NeighbourObserver {
public:
    ObservedFeed(NeighbourEngine& engine, std::uint32_t interfaceIndex) : engine_(engine) {
        table_ = engine.Observe(*this, interfaceIndex);
    }

    bool Observing() const { return table_.has_value(); }

    std::vector<NeighbourEntry> Table() override { return std::move(*table_); }

    NeighbourChanges Next(std::chrono::milliseconds wait) override {
        engine_.Run(NeighbourEngine::Clock::now() + wait);
        return std::exchange(pending_, {});
    }

private:
    void Changed(const NeighbourEntry& entry) override { pending_.entries.push_back(entry); }
    void Lost(const std::vector<NeighbourEntry>& table) override {
        // What was heard before the loss is older than `table`.
        pending_ = {table, true};
    }
    // The feed's caller looks at what came, or why the wait ended.
    bool StopRunning() override { return true; }

    NeighbourEngine& engine_;
    std::optional<std::vector<NeighbourEntry>> table_;
    NeighbourChanges pending_;
};

}  // namespace

std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(NeighbourEngine& engine,
                                                       std::uint32_t interfaceIndex) {
    auto feed = std::make_unique<ObservedFeed>(engine, interfaceIndex);
    if (!feed->Observing()) {
        return nullptr;
    }
    return feed;
}

}  // namespace varnock
