#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_resolver.h"

namespace varnock {

// An engine over lookups that block: a few threads, each with a resolver of
// its own, take the queries in the order submitted, and the answers are
// handed over in Run on the caller's thread. Threads are made as lookups
// wait for one, up to `mostThreads`; one lookup costs one thread.
//
// Where the system tells no changes of its neighbour table but can be read
// whole (`readTable`), Observe works by reading it every `pollInterval`
// within Run, on Run's thread, and telling the differences.
class ThreadedNeighbourEngine final : public NeighbourEngine {
public:
    using ResolverMaker = std::function<std::unique_ptr<NeighbourResolver>()>;
    // The whole table; nothing when the system cannot read it.
    using TableReader = std::function<std::optional<std::vector<NeighbourEntry>>()>;

    ThreadedNeighbourEngine(ResolverMaker makeResolver, std::size_t mostThreads,
                            TableReader readTable = {},
                            std::chrono::milliseconds pollInterval = std::chrono::seconds(1));
    // Waits for the lookups the threads are blocked in; starts none.
    ~ThreadedNeighbourEngine() override;

    Ticket Submit(const NeighbourQuery& query, Finished finished) override;
    void Cancel(Ticket ticket) override;
    void Run(Clock::time_point until) override;
    std::size_t InFlight() const override;
    // Also asks the observer's StopRunning after each reading of the table.
    std::optional<std::vector<NeighbourEntry>> Observe(NeighbourObserver& observer,
                                                       std::uint32_t interfaceIndex) override;

private:
    struct Job {
        Ticket ticket;
        NeighbourQuery query;
    };
    void Work();
    // The observed part of a reading of the table.
    std::optional<std::vector<NeighbourEntry>> ReadObserved();
    // Reads the table and tells the observer what changed; whether it asks
    // to end the run.
    bool PollTable();

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

    // Run's thread only.
    TableReader readTable_;
    std::chrono::milliseconds pollInterval_;
    NeighbourObserver* observer_ = nullptr;
    std::uint32_t observedInterface_ = 0;
    std::vector<NeighbourEntry> lastReading_;
    Clock::time_point nextReading_{};
};

}  // namespace varnock
