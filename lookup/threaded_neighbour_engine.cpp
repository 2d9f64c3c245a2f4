#include "lookup/threaded_neighbour_engine.h"

#include <exception>
#include <system_error>
#include <utility>

namespace varnock {
namespace {

NeighbourAnswer CouldNotAsk(const std::string& why) {
    NeighbourAnswer answer;
    answer.status = arp_status::kSystemError;
    answer.systemError = why;
    return answer;
}

}  // namespace

ThreadedNeighbourEngine::ThreadedNeighbourEngine(ResolverMaker makeResolver,
                                                 std::size_t mostThreads)
    : makeResolver_(std::move(makeResolver)), mostThreads_(mostThreads > 0 ? mostThreads : 1) {}

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
    while (!open_.empty()) {
        if (answered_.empty() &&
            !answerReady_.wait_until(lock, until, [&] { return !answered_.empty(); })) {
            return;
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
