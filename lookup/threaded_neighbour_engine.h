#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_resolver.h"

namespace varnock {

// An engine over lookups that block: a few threads, each with a resolver of
// its own, take the queries in the order submitted, and the answers are
// handed over in Run on the caller's thread. Threads are made as lookups
// wait for one, up to `mostThreads`; one lookup costs one thread.
class ThreadedNeighbourEngine final : public NeighbourEngine {
public:
    using ResolverMaker = std::function<std::unique_ptr<NeighbourResolver>()>;

    ThreadedNeighbourEngine(ResolverMaker makeResolver, std::size_t mostThreads);
    // Waits for the lookups the threads are blocked in; starts none.
    ~ThreadedNeighbourEngine() override;

    Ticket Submit(const NeighbourQuery& query, Finished finished) override;
    void Cancel(Ticket ticket) override;
    void Run(Clock::time_point until) override;
    std::size_t InFlight() const override;

private:
    struct Job {
        Ticket ticket;
        NeighbourQuery query;
    };
    void Work();

    ResolverMaker makeResolver_;
    std::size_t mostThreads_;

    mutable std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable answerReady_;
    Ticket lastTicket_ = 0;
    bool stopping_ = false;
    std::size_t idleThreads_ = 0;
    std::deque<Job> queued_;
    // Every lookup not yet delivered nor cancelled, with who hears it.
    std::map<Ticket, Finished> open_;
    std::deque<std::pair<Ticket, NeighbourAnswer>> answered_;
    std::vector<std::thread> threads_;
};

}  // namespace varnock
