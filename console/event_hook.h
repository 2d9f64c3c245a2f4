#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace varnock::console {

// One event as `--exec COMMAND` receives it: as JSON on its standard input
// (one line) and in its environment.
struct HookEvent {
    std::string json;
    std::vector<std::pair<std::string, std::string>> environment;  // VARNOCK_...
};

// Runs a command for each event, never through a shell and never more than
// one at a time: the events wait their turn in order. A run that takes
// longer than its time limit is killed with everything it started (Linux:
// its process group; Windows: its job object). The command's output goes to
// standard error, never into the events on standard output. Nothing here
// ever waits: the watch calls Advance as it goes.
class EventHook {
public:
    static constexpr std::chrono::seconds kTimeLimit{10};
    // Events waiting beyond these are dropped (and said so).
    static constexpr std::size_t kMostWaiting = 1000;

    virtual ~EventHook() = default;

    virtual void Queue(HookEvent event) = 0;

    // Notes a run that ended, kills one past its time limit, starts the next.
    // Returns a line for each failure (not started, exit status, signal,
    // time limit), to be reported; none is fatal.
    virtual std::vector<std::string> Advance() = 0;

    // Whether a run is going or events wait: the watch then calls Advance
    // more often.
    virtual bool Busy() const = 0;

    // At the end of the watch: waits for the running one (at most its time
    // limit); the events still waiting are not run, and said so.
    virtual std::vector<std::string> Finish() = 0;
};

// Nothing where the system cannot run commands this way. `timeLimit`
// other than kTimeLimit: for tests.
std::unique_ptr<EventHook> MakeEventHook(
    const std::string& command,
    std::chrono::milliseconds timeLimit = std::chrono::milliseconds(EventHook::kTimeLimit));

}  // namespace varnock::console
