#include "console/concurrent_lookups.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace varnock::console {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kWaitingInterval{100};
// How often a start waiting for room in the neighbour table looks again.
constexpr std::chrono::milliseconds kTableRecheck{50};

// The state the workers share with the thread that delivers the results.
class LookupRun {
public:
    LookupRun(std::span<const Target> addresses, const LookupSettings& settings,
              const ResolverMaker& makeResolver, const LookupLimits& limits)
        : addresses_(addresses),
          settings_(settings),
          makeResolver_(makeResolver),
          startInterval_(limits.startInterval),
          tableRoom_(addresses.size() > kUngatedLookups ? limits.tableRoom : nullptr),
          results_(addresses.size()) {}

    LookupRun(const LookupRun&) = delete;
    LookupRun& operator=(const LookupRun&) = delete;

    // Stops handing out addresses and waits for the lookups in flight.
    ~LookupRun() {
        stopping_ = true;
        {
            std::lock_guard lock(mutex_);
            next_ = addresses_.size();
        }
        for (auto& worker : workers_) {
            worker.join();
        }
    }

    void Start(std::size_t workerCount) {
        for (std::size_t i = 0; i < workerCount; ++i) {
            try {
                workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                // Fewer workers only make the run slower; none at all
                // would make it wait forever.
                if (workers_.empty()) {
                    throw;
                }
                break;
            }
        }
    }

    void Deliver(const std::function<void(AddressResult&&)>& deliver,
                 const std::function<void(const LookupProgress&)>& waiting) {
        std::size_t delivered = 0;
        std::vector<AddressResult> batch;
        while (delivered < results_.size()) {
            LookupProgress progress;
            {
                std::unique_lock lock(mutex_);
                ready_.wait_for(lock, kWaitingInterval,
                                [&] { return results_[delivered].has_value(); });
                for (std::size_t i = delivered; i < results_.size() && results_[i]; ++i) {
                    batch.push_back(std::move(*results_[i]));
                    results_[i].reset();
                }
                progress = progress_;
            }
            for (auto& result : batch) {
                deliver(std::move(result));
            }
            delivered += batch.size();
            batch.clear();
            waiting(progress);
        }
    }

private:
    void Work() {
        std::unique_ptr<NeighbourResolver> request;
        for (;;) {
            std::size_t index = 0;
            Clock::time_point start;
            {
                std::lock_guard lock(mutex_);
                if (next_ == addresses_.size()) {
                    return;
                }
                // Turns are handed out in the order of the addresses.
                index = next_++;
                start = std::max(Clock::now(), nextStart_);
                nextStart_ = start + startInterval_;
            }
            std::this_thread::sleep_until(start);
            WaitForTableRoom();
            AddressResult result = LookUp(addresses_[index], request);
            std::lock_guard lock(mutex_);
            ++progress_.done;
            if (result.Answered()) {
                ++progress_.answered;
            }
            results_[index] = std::move(result);
            ready_.notify_one();
        }
    }

    // One start at a time looks; the others queue behind it, so none starts
    // while the table is full.
    void WaitForTableRoom() {
        if (!tableRoom_) {
            return;
        }
        const std::lock_guard gate(gate_);
        const auto giveUp = Clock::now() + kLongestTableWait;
        while (!stopping_ && Clock::now() < giveUp) {
            if (const auto room = tableRoom_(); !room || *room > 0) {
                return;
            }
            std::this_thread::sleep_for(kTableRecheck);
        }
    }

    AddressResult LookUp(const Target& target, std::unique_ptr<NeighbourResolver>& resolver) {
        try {
            if (!resolver) {
                resolver = makeResolver_();
            }
            return LookUpTarget(target, settings_, *resolver);
        } catch (const std::exception& failure) {
            return Unanswered(target,
                              std::string("the system could not be asked: ") + failure.what());
        }
    }

    const std::span<const Target> addresses_;
    const LookupSettings& settings_;
    const ResolverMaker& makeResolver_;
    const std::chrono::microseconds startInterval_;
    const std::function<std::optional<std::size_t>()> tableRoom_;
    std::mutex gate_;
    std::atomic<bool> stopping_{false};

    std::mutex mutex_;
    std::condition_variable ready_;
    std::size_t next_ = 0;
    Clock::time_point nextStart_{};
    std::vector<std::optional<AddressResult>> results_;
    LookupProgress progress_;
    std::vector<std::thread> workers_;
};

}  // namespace

std::size_t MostInFlightFor(std::optional<std::uint64_t> openFileRoom) {
    if (!openFileRoom) {
        return kMostInFlight;
    }
    const std::uint64_t usable =
        *openFileRoom > kSpareDescriptors ? *openFileRoom - kSpareDescriptors : 0;
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::min<std::uint64_t>(
                                       usable / kDescriptorsPerLookup, kMostInFlight)),
                                   1, kMostInFlight);
}

void LookUpInOrder(std::span<const Target> addresses, const LookupSettings& settings,
                   const ResolverMaker& makeResolver, const LookupLimits& limits,
                   const std::function<void(AddressResult&&)>& deliver,
                   const std::function<void(const LookupProgress&)>& waiting) {
    if (addresses.empty()) {
        return;
    }
    LookupRun run(addresses, settings, makeResolver, limits);
    run.Start(std::clamp<std::size_t>(limits.maxInFlight, 1, addresses.size()));
    run.Deliver(deliver, waiting);
}

}  // namespace varnock::console
