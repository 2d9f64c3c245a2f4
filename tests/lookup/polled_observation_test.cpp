// Observing an engine over a system that tells no changes (Windows): the
// table is read over and over within Run, and the differences are told.

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <vector>

#include "lookup/neighbour_observer.h"
#include "lookup/threaded_neighbour_engine.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock {
namespace {

NeighbourEntry Answering(std::uint8_t last, std::uint32_t interfaceIndex = 4) {
    NeighbourEntry entry;
    entry.address = IpAddress::V4(0x0002'00C0u | (std::uint32_t{last} << 24));
    entry.interfaceIndex = interfaceIndex;
    entry.state = NeighbourEntry::State::kAnswering;
    entry.hardwareAddress = {2, 0, 0, 0, 0, last};
    return entry;
}

class StoppingObserver final : public NeighbourObserver {
public:
    void Changed(const NeighbourEntry& entry) override { changed.push_back(entry); }
    void Lost(const std::vector<NeighbourEntry>& /*table*/) override { ++losses; }
    bool StopRunning() override { return stopAfter != 0 && changed.size() >= stopAfter; }

    std::vector<NeighbourEntry> changed;
    int losses = 0;
    std::size_t stopAfter = 0;
};

// Readings handed out in order; the last one is kept.
struct ScriptedTable {
    std::deque<std::optional<std::vector<NeighbourEntry>>> readings;
    int reads = 0;
    ThreadedNeighbourEngine::TableReader Reader() {
        return [this] {
            ++reads;
            auto reading = readings.front();
            if (readings.size() > 1) {
                readings.pop_front();
            }
            return reading;
        };
    }
};

TEST(PolledObservationTest, ChangesBetweenReadingsAreToldUntilTheObserverStops) {
    testing::ScriptedNeighbours network;
    ScriptedTable table;
    table.readings = {std::vector{Answering(2), Answering(7, 5)},
                      std::nullopt,  // a reading that fails tells nothing
                      std::vector{Answering(2), Answering(3), Answering(7, 5)}};
    ThreadedNeighbourEngine engine([&] { return network.MakeResolver(); }, 2, table.Reader(),
                                   std::chrono::milliseconds(0));
    StoppingObserver observer;
    observer.stopAfter = 1;
    // Only interface 4 is observed.
    const auto start = engine.Observe(observer, 4);
    ASSERT_TRUE(start);
    ASSERT_EQ(start->size(), 1U);

    engine.Run(NeighbourEngine::Clock::now() + std::chrono::hours(1));
    ASSERT_EQ(observer.changed.size(), 1U);
    EXPECT_EQ(observer.changed[0].address, Answering(3).address);
    EXPECT_EQ(table.reads, 3);
    EXPECT_EQ(observer.losses, 0);
}

TEST(PolledObservationTest, NothingWhereTheTableCannotBeRead) {
    testing::ScriptedNeighbours network;
    ScriptedTable table;
    table.readings = {std::nullopt};
    ThreadedNeighbourEngine unreadable([&] { return network.MakeResolver(); }, 2, table.Reader());
    StoppingObserver observer;
    EXPECT_FALSE(unreadable.Observe(observer, 0));
    ThreadedNeighbourEngine withoutTable([&] { return network.MakeResolver(); }, 2);
    EXPECT_FALSE(withoutTable.Observe(observer, 0));
    // Not observing, Run returns with nothing in flight.
    withoutTable.Run(NeighbourEngine::Clock::now() + std::chrono::hours(1));
}

}  // namespace
}  // namespace varnock
