#include "console/concurrent_lookups.h"

#include <algorithm>
#include <map>
#include <vector>

namespace varnock::console {
namespace {

using Clock = NeighbourEngine::Clock;

constexpr std::chrono::milliseconds kWaitingInterval{100};

// One run: the targets handed to the engine in order, their results kept
// until all before them are final.
class LookupRun {
public:
    LookupRun(std::span<const Target> targets, const LookupSettings& settings,
              NeighbourEngine& engine, const LookupLimits& limits)
        : targets_(targets),
          settings_(settings),
          engine_(engine),
          limits_(limits),
          gated_(targets.size() > kUngatedLookups && limits.tableRoom),
          results_(targets.size()) {}

    LookupRun(const LookupRun&) = delete;
    LookupRun& operator=(const LookupRun&) = delete;

    // However the run ends, nothing it started goes on.
    ~LookupRun() {
        for (const auto& [ticket, index] : inFlight_) {
            engine_.Cancel(ticket);
        }
    }

    void Go(const std::function<void(AddressResult&&)>& deliver,
            const std::function<void(const LookupProgress&)>& waiting) {
        auto nextReport = Clock::now() + kWaitingInterval;
        while (delivered_ < results_.size()) {
            StartWhatMay();
            auto wake = nextReport;
            if (next_ < targets_.size() && inFlight_.size() < MostInFlightNow()) {
                wake = std::min(wake, nextStart_);
            }
            engine_.Run(std::max(wake, Clock::now()));
            bool deliveredAny = false;
            while (delivered_ < results_.size() && results_[delivered_]) {
                deliver(std::move(*results_[delivered_]));
                results_[delivered_].reset();
                ++delivered_;
                deliveredAny = true;
            }
            if (deliveredAny || Clock::now() >= nextReport) {
                waiting(progress_);
                nextReport = Clock::now() + kWaitingInterval;
            }
        }
    }

private:
    void StartWhatMay() {
        while (next_ < targets_.size() && Clock::now() >= nextStart_ &&
               inFlight_.size() < MostInFlightNow()) {
            const std::size_t index = next_++;
            const Target& target = targets_[index];
            const auto query = QueryFor(target, settings_);
            if (!query) {
                Keep(index, NotAsked(target));
                continue;
            }
            if (gated_ && room_[target.address.family] && *room_[target.address.family] > 0) {
                --*room_[target.address.family];
            }
            nextStart_ = Clock::now() + limits_.startInterval;
            // The engine may answer within Submit, before the ticket is
            // known: the answer is kept by index.
            const auto ticket = engine_.Submit(
                *query, [this, index](NeighbourEngine::Ticket done, NeighbourAnswer&& answer) {
                    inFlight_.erase(done);
                    Keep(index, ResultOf(targets_[index], settings_, answer));
                });
            inFlight_.emplace(ticket, index);
        }
    }

    // How many lookups may be in flight now, the table's room of the next
    // address's family considered.
    std::size_t MostInFlightNow() {
        const std::size_t most = std::max<std::size_t>(limits_.maxInFlight, 1);
        if (!gated_ || next_ >= targets_.size()) {
            return most;
        }
        const auto family = targets_[next_].address.family;
        auto& checked = roomChecked_[family];
        if (Clock::now() - checked >= kRoomLifetime) {
            room_[family] = limits_.tableRoom(family);
            checked = Clock::now();
        }
        const auto& room = room_[family];
        if (!room || *room > 0) {
            return most;
        }
        return std::min(most, kInFlightWithoutRoom);
    }

    void Keep(std::size_t index, AddressResult&& result) {
        ++progress_.done;
        if (result.Answered()) {
            ++progress_.answered;
        }
        results_[index] = std::move(result);
    }

    const std::span<const Target> targets_;
    const LookupSettings& settings_;
    NeighbourEngine& engine_;
    const LookupLimits& limits_;
    const bool gated_;

    std::size_t next_ = 0;
    std::size_t delivered_ = 0;
    Clock::time_point nextStart_{};
    std::map<NeighbourEngine::Ticket, std::size_t> inFlight_;
    std::vector<std::optional<AddressResult>> results_;
    LookupProgress progress_;
    std::map<IpAddress::Family, std::optional<std::size_t>> room_;
    std::map<IpAddress::Family, Clock::time_point> roomChecked_;
};

}  // namespace

void LookUpInOrder(std::span<const Target> targets, const LookupSettings& settings,
                   NeighbourEngine& engine, const LookupLimits& limits,
                   const std::function<void(AddressResult&&)>& deliver,
                   const std::function<void(const LookupProgress&)>& waiting) {
    if (targets.empty()) {
        return;
    }
    LookupRun run(targets, settings, engine, limits);
    run.Go(deliver, waiting);
}

}  // namespace varnock::console
