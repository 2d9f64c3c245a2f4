#include "console/queued_event_hook.h"

#include <thread>
#include <utility>

namespace varnock::console {

QueuedEventHook::QueuedEventHook(std::string command, std::chrono::milliseconds timeLimit)
    : command_(std::move(command)), timeLimit_(timeLimit) {}

void QueuedEventHook::Queue(HookEvent event) {
    if (waiting_.size() >= kMostWaiting) {
        ++dropped_;
        return;
    }
    waiting_.push_back(std::move(event));
}

std::vector<std::string> QueuedEventHook::Advance() {
    std::vector<std::string> reports;
    if (Running()) {
        const RunState state = Check();
        if (!state.ended && Clock::now() < deadline_) {
            return reports;
        }
        if (!state.ended) {
            Stop();
            reports.push_back(Named("took longer than " + LimitText() + " and was stopped"));
        } else if (state.failure) {
            reports.push_back(Named(*state.failure));
        }
        Release();
    }
    if (dropped_ > 0) {
        reports.push_back(Named(std::to_string(dropped_) +
                                " events were not given to it: too many were waiting"));
        dropped_ = 0;
    }
    if (!waiting_.empty()) {
        const HookEvent next = std::move(waiting_.front());
        waiting_.pop_front();
        if (auto problem = Start(next)) {
            reports.push_back(Named("cannot be started: " + *problem));
        } else {
            deadline_ = Clock::now() + timeLimit_;
        }
    }
    return reports;
}

bool QueuedEventHook::Busy() const {
    return Running() || !waiting_.empty();
}

std::vector<std::string> QueuedEventHook::Finish() {
    std::vector<std::string> reports;
    dropped_ += waiting_.size();
    waiting_.clear();
    while (Running()) {
        auto more = Advance();
        reports.insert(reports.end(), more.begin(), more.end());
        if (Running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    auto last = Advance();  // the count of those not run
    reports.insert(reports.end(), last.begin(), last.end());
    return reports;
}

std::string QueuedEventHook::LimitText() const {
    return timeLimit_.count() % 1000 == 0 ? std::to_string(timeLimit_.count() / 1000) + " s"
                                          : std::to_string(timeLimit_.count()) + " ms";
}

std::string QueuedEventHook::Named(const std::string& what) const {
    return "--exec " + command_ + ": " + what;
}

}  // namespace varnock::console
