#include "console/lookups/concurrent_lookups.h"

#include <algorithm>
#include <map>
#include <thread>
#include <vector>

namespace varnock::console {
namespace {

using Clock = NeighbourEngine::Clock;

constexpr std::chrono::milliseconds kWaitingInterval{100};

}  // namespace

LookupRun::LookupRun(std::span<const Target> targets, const LookupSettings& settings,
                     NeighbourEngine& engine, const LookupLimits& limits)
    : targets_(targets),
      settings_(settings),
      engine_(engine),
      limits_(limits),
      gated_(targets.size() > kUngatedLookups && limits.tableRoom),
      results_(targets.size()) {}

LookupRun::~LookupRun() {
    for (const auto& [ticket, index] : inFlight_) {
        engine_.Cancel(ticket);
    }
}

bool LookupRun::Advance(const std::function<void(AddressResult&&)>& deliver) {
    StartWhatMay();
    while (delivered_ < results_.size() && results_[delivered_]) {
        deliver(std::move(*results_[delivered_]));
        results_[delivered_].reset();
        ++delivered_;
    }
    return delivered_ == results_.size();
}

LookupRun::Clock::time_point LookupRun::NextStart() {
    if (next_ >= targets_.size()) {
        return Clock::time_point::max();
    }
    const std::size_t most = MostInFlightNow();
    if (inFlight_.size() < most) {
        return nextStart_;
    }
    if (most == 0) {
        // No room: asked again when its reading is old.
        return roomChecked_[targets_[next_].address.family] + kRoomLifetime;
    }
    return Clock::time_point::max();
}

void LookupRun::StartWhatMay() {
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
        // The answer comes only from within the engine's Run
        // (lookup/neighbour_engine.h), after the ticket is in inFlight_.
        const auto ticket = engine_.Submit(
            *query, [this, index](NeighbourEngine::Ticket done, NeighbourAnswer&& answer) {
                inFlight_.erase(done);
                Keep(index, ResultOf(targets_[index], settings_, answer));
            });
        inFlight_.emplace(ticket, index);
    }
}

std::size_t LookupRun::MostInFlightNow() {
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
    return !room || *room > 0 ? most : 0;
}

void LookupRun::Keep(std::size_t index, AddressResult&& result) {
    ++progress_.done;
    if (result.Answered()) {
        ++progress_.answered;
    }
    results_[index] = std::move(result);
}

void LookUpInOrder(std::span<const Target> targets, const LookupSettings& settings,
                   NeighbourEngine& engine, const LookupLimits& limits,
                   const std::function<void(AddressResult&&)>& deliver,
                   const std::function<void(const LookupProgress&)>& waiting) {
    if (targets.empty()) {
        return;
    }
    LookupRun run(targets, settings, engine, limits);
    bool deliveredAny = false;
    const auto counted = [&](AddressResult&& result) {
        deliveredAny = true;
        deliver(std::move(result));
    };
    auto nextReport = Clock::now() + kWaitingInterval;
    for (;;) {
        const bool over = run.Advance(counted);
        if (deliveredAny || Clock::now() >= nextReport) {
            waiting(run.Progress());
            deliveredAny = false;
            nextReport = Clock::now() + kWaitingInterval;
        }
        if (over) {
            return;
        }
        const auto wake = std::max(std::min(nextReport, run.NextStart()), Clock::now());
        if (engine.InFlight() == 0) {
            // Nothing to wait for but the clock (the table's room, say).
            std::this_thread::sleep_until(wake);
        } else {
            engine.Run(wake);
        }
    }
}

}  // namespace varnock::console
