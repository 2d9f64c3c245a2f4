#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "console/event_hook.h"

namespace varnock::console {

// What every system's EventHook shares: the events waiting their turn, the
// count of those dropped, the time limit of a run, and the lines that report
// failures. A system's hook says how a run starts, whether it has ended and
// how, and how one past its limit is stopped. Its destructor calls Finish:
// this one cannot, the system's part being gone by then.
class QueuedEventHook : public EventHook {
public:
    QueuedEventHook(const QueuedEventHook&) = delete;
    QueuedEventHook& operator=(const QueuedEventHook&) = delete;

    void Queue(HookEvent event) final;
    std::vector<std::string> Advance() final;
    bool Busy() const final;
    std::vector<std::string> Finish() final;

protected:
    QueuedEventHook(std::string command, std::chrono::milliseconds timeLimit);

    const std::string& Command() const { return command_; }

    // How a run stands: going, or ended with nothing to say, or ended with a
    // failure ("ended with status 2").
    struct RunState {
        bool ended = false;
        std::optional<std::string> failure;
    };

    virtual bool Running() const = 0;
    // Asked only while Running.
    virtual RunState Check() = 0;
    // The run past its time limit: ends it and all it started, and waits for
    // them (briefly).
    virtual void Stop() = 0;
    // Lets go of the run that ended or was stopped.
    virtual void Release() = 0;
    // Starts a run for `event`, or tells why it cannot be.
    virtual std::optional<std::string> Start(const HookEvent& event) = 0;

private:
    using Clock = std::chrono::steady_clock;

    std::string LimitText() const;
    std::string Named(const std::string& what) const;

    std::string command_;
    std::chrono::milliseconds timeLimit_;
    std::deque<HookEvent> waiting_;
    std::size_t dropped_ = 0;
    Clock::time_point deadline_{};
};

}  // namespace varnock::console
