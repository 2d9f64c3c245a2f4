#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include "console/command/command_line.h"
#include "console/command/command_system.h"
#include "console/lookups/concurrent_lookups.h"
#include "console/lookups/targets.h"

namespace varnock::console {

// Looks the targets up every so often, on the watch's own engine, so that
// devices that never talk to this machine are found too: their answers
// reach the watch through the kernel's notifications like any other. The
// lookups run while the watch's feed waits.
class PeriodicSweep {
public:
    PeriodicSweep(const std::vector<Target>& targets, const CommandLine& line,
                  std::uint32_t interfaceIndex, NeighbourEngine& engine,
                  const CommandSystem& system)
        : targets_(targets), line_(line), engine_(engine), system_(system) {
        settings_.interfaceIndex = interfaceIndex;
        settings_.maxWait = line.timeout;
    }

    // Addresses to ask once more, before the next sweep: their answers (or
    // the kernel giving up on them) reach the watch as notifications.
    void Recheck(std::vector<Target> addresses) {
        rechecks_.insert(rechecks_.end(), std::make_move_iterator(addresses.begin()),
                         std::make_move_iterator(addresses.end()));
        if (rechecks_.size() > kMostRechecks) {
            rechecks_.resize(kMostRechecks);
        }
    }
    static constexpr std::size_t kMostRechecks = 256;

    // Moves the running sweep on, or starts one when one is due (or
    // addresses wait to be asked again); returns when it next wants to be
    // called, at the latest.
    std::chrono::steady_clock::time_point Tick(std::chrono::steady_clock::time_point now);

private:
    const std::vector<Target>& targets_;
    std::vector<Target> rechecks_;
    std::vector<Target> current_;  // the running sweep's
    const CommandLine& line_;
    NeighbourEngine& engine_;
    const CommandSystem& system_;
    LookupSettings settings_;
    std::chrono::steady_clock::time_point nextStart_{};
    std::optional<LookupRun> run_;
};

}  // namespace varnock::console
