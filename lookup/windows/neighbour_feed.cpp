// The Windows side of lookup/neighbour_feed.h: Windows tells no changes of
// its neighbour table to an ordinary program, so the table is read once a
// second and compared with the reading before.

#include "lookup/neighbour_feed.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_snapshot.h"
#include "lookup/windows/neighbour_table.h"

namespace varnock {
namespace {

constexpr std::chrono::seconds kPollInterval{1};

class PolledNeighbourFeed final : public NeighbourFeed {
public:
    explicit PolledNeighbourFeed(std::uint32_t interfaceIndex) : interfaceIndex_(interfaceIndex) {
        last_ = Table();
    }

    std::vector<NeighbourEntry> Table() override {
        std::vector<NeighbourEntry> entries;
        for (auto& row : windows_backend::ReadNeighbourTable().value_or(
                 std::vector<windows_backend::NeighbourRow>{})) {
            if (interfaceIndex_ == 0 || row.entry.interfaceIndex == interfaceIndex_) {
                entries.push_back(std::move(row.entry));
            }
        }
        return entries;
    }

    NeighbourChanges Next(std::chrono::milliseconds wait) override {
        const auto due = lastRead_ + kPollInterval;
        const auto now = std::chrono::steady_clock::now();
        if (now < due) {
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(due - now, wait));
            if (std::chrono::steady_clock::now() < due) {
                return {};
            }
        }
        lastRead_ = std::chrono::steady_clock::now();
        auto current = Table();
        NeighbourChanges changes{ChangesBetween(last_, current), false};
        last_ = std::move(current);
        return changes;
    }

private:
    std::uint32_t interfaceIndex_;
    std::vector<NeighbourEntry> last_;
    std::chrono::steady_clock::time_point lastRead_ = std::chrono::steady_clock::now();
};

}  // namespace

std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(NeighbourEngine& engine,
                                                       std::uint32_t interfaceIndex) {
    if (!windows_backend::ReadNeighbourTable()) {
        return nullptr;  // no GetIpNetTable2 on this system
    }
    // IP Helper has no notifications: the table is read every so often,
    // and the engine's lookups run in between.
    return RunWhileWaiting(engine, std::make_unique<PolledNeighbourFeed>(interfaceIndex));
}

}  // namespace varnock
