#include "lookup/threaded_neighbour_engine.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "lookup/neighbour_answers.h"
#include "lookup/neighbour_snapshot.h"

namespace varnock {
ThreadedNeighbourEngine::ThreadedNeighbourEngine(ResolverMaker makeResolver,
                                                 std::size_t mostThreads, TableReader readTable,
                                                 std::chrono::milliseconds pollInterval)
    : makeResolver_(std::move(makeResolver)),
      mostThreads_(mostThreads > 0 ? mostThreads : 1),
      readTable_(std::move(readTable)),
      pollInterval_(pollInterval) {}

ThreadedNeighbourEngine::~ThreadedNeighbourEngine() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        queued_.clear();
    }
    jobReady_.notify_all();
    for (auto& thread : threads_) {
        thread.join();
    }
}

NeighbourEngine::Ticket ThreadedNeighbourEngine::Submit(const NeighbourQuery& query,
                                                        Finished finished) {
    std::unique_lock lock(mutex_);
    const Ticket ticket = ++lastTicket_;
    open_.emplace(ticket, std::move(finished));
    queued_.push_back({ticket, query});
    if (idleThreads_ < queued_.size() && threads_.size() < mostThreads_) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error& failure) {
            // Fewer threads only make the lookups wait their turn; with none
            // at all nobody would ever answer.
            if (threads_.empty()) {
                queued_.pop_back();
                answered_.emplace_back(ticket, CouldNotAsk(failure.what()));
            }
        }
    }
    lock.unlock();
    jobReady_.notify_one();
    return ticket;
}

void ThreadedNeighbourEngine::Cancel(Ticket ticket) {
    const std::lock_guard lock(mutex_);
    open_.erase(ticket);
    std::erase_if(queued_, [&](const Job& job) { return job.ticket == ticket; });
}

void ThreadedNeighbourEngine::Run(Clock::time_point until) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (open_.empty() && observer_ == nullptr) {
            return;
        }
        if (observer_ != nullptr && Clock::now() >= nextReading_) {
            lock.unlock();
            const bool stop = PollTable();
            lock.lock();
            if (stop) {
                return;
            }
            continue;
        }
        const auto wake = observer_ != nullptr ? std::min(until, nextReading_) : until;
        if (answered_.empty() &&
            !answerReady_.wait_until(lock, wake, [&] { return !answered_.empty(); })) {
            if (Clock::now() >= until) {
                return;
            }
            continue;
        }
        auto [ticket, answer] = std::move(answered_.front());
        answered_.pop_front();
        const auto found = open_.find(ticket);
        if (found == open_.end()) {
            continue;  // cancelled while it was being looked up
        }
        Finished finished = std::move(found->second);
        open_.erase(found);
        // Whoever hears the answer may submit or cancel lookups.
        lock.unlock();
        finished(ticket, std::move(answer));
        lock.lock();
    }
}

std::optional<std::vector<NeighbourEntry>> ThreadedNeighbourEngine::Observe(
    NeighbourObserver& observer, std::uint32_t interfaceIndex) {
    if (!readTable_) {
        return std::nullopt;
    }
    if (observer_ != nullptr) {
        throw std::logic_error("the engine's table is observed already");
    }
    observedInterface_ = interfaceIndex;
    auto table = ReadObserved();
    if (!table) {
        return std::nullopt;
    }
    observer_ = &observer;
    lastReading_ = *table;
    nextReading_ = Clock::now() + pollInterval_;
    return table;
}

std::optional<std::vector<NeighbourEntry>> ThreadedNeighbourEngine::ReadObserved() {
    auto table = readTable_();
    if (table && observedInterface_ != 0) {
        std::erase_if(*table, [&](const NeighbourEntry& entry) {
            return entry.interfaceIndex != observedInterface_;
        });
    }
    return table;
}

bool ThreadedNeighbourEngine::PollTable() {
    nextReading_ = Clock::now() + pollInterval_;
    // A reading that fails tells nothing; the next one compares with the
    // last that worked.
    bool stop = false;
    if (auto current = ReadObserved()) {
        const auto changes = ChangesBetween(lastReading_, *current);
        lastReading_ = std::move(*current);
        for (const auto& entry : changes) {
            observer_->Changed(entry);
            stop = observer_->StopRunning() || stop;
        }
    }
    // Without signals to interrupt a wait, the observer is asked at each
    // reading too.
    return observer_->StopRunning() || stop;
}

std::size_t ThreadedNeighbourEngine::InFlight() const {
    const std::lock_guard lock(mutex_);
    return open_.size();
}

void ThreadedNeighbourEngine::Work() {
    std::unique_ptr<NeighbourResolver> resolver;
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleThreads_;
        jobReady_.wait(lock, [&] { return stopping_ || !queued_.empty(); });
        --idleThreads_;
        if (stopping_) {
            return;
        }
        Job job = std::move(queued_.front());
        queued_.pop_front();
        lock.unlock();
        NeighbourAnswer answer;
        try {
            if (!resolver) {
                resolver = makeResolver_();
            }
            answer = resolver->Resolve(job.query);
        } catch (const std::exception& failure) {
            answer = CouldNotAsk(failure.what());
        }
        lock.lock();
        answered_.emplace_back(job.ticket, std::move(answer));
        answerReady_.notify_one();
    }
}

}  // namespace varnock
