#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/vendors/vendor_names.h"
#include "console/watch/event_burst.h"
#include "console/watch/event_output.h"
#include "console/watch/neighbour_record.h"
#include "console/watch/periodic_sweep.h"
#include "console/watch/record_writer.h"
#include "lookup/neighbour_observer.h"

namespace varnock::console {

// Where a watch's events go and where its record is written.
struct WatchOutputs {
    std::vector<std::unique_ptr<EventOutput>> events;
    std::vector<std::unique_ptr<RecordWriter>> writers;
    std::vector<SeenNeighbour> restored;  // what --state held when the watch began
};

// A watch's state and what it makes of the table's changes: the record,
// the gate that holds back bursts of new addresses, the periodic sweep, and
// the outputs each event goes to and the writers the record goes to.
class Watch final : public NeighbourObserver {
public:
    struct Settings {
        std::function<std::string(std::uint32_t)> interfaceNameOf;
        std::optional<std::string> watchedInterface;  // only this one's entries, when given
        std::chrono::seconds forgetAfter{};
        std::chrono::milliseconds saveInterval{};
        std::function<bool()> stopRequested;
    };

    // `err` takes the watch's reports, one line each.
    Watch(Settings settings, WatchOutputs outputs, VendorSources vendors,
          std::unique_ptr<PeriodicSweep> sweep, std::ostream& err);

    // The table as it stands when the watch begins.
    void Start(const std::vector<NeighbourEntry>& table);

    void Changed(const NeighbourEntry& entry) override;
    // The table against the record; what vanished from it is asked again.
    void Lost(const std::vector<NeighbourEntry>& table) override;
    // Once a stop was asked for, or the events can no longer be written.
    bool StopRunning() override;

    // What is due between two waits for changes: stops that became
    // certain, a burst window that closed, neighbours to forget, the
    // outputs' own work, a save, the sweep. Returns how long the next wait
    // may last.
    std::chrono::milliseconds Tick();

    // The end of the watch: the last burst told, the outputs finished, the
    // record written. False when the events or the record could not all be
    // written (each said on `err`).
    bool Finish();

    // The longest wait, so that a stop is seen soon ...
    static constexpr std::chrono::milliseconds kLongestWait{500};
    // ... and how soon it looks again while an output is busy (--exec).
    static constexpr std::chrono::milliseconds kBusyWait{20};

private:
    void Tell(std::vector<WatchEvent> events);
    void Report(const std::string& what);
    void NoteBroken();
    void SaveAll();

    Settings settings_;
    WatchOutputs outputs_;
    VendorNames vendors_;
    std::unique_ptr<PeriodicSweep> sweep_;
    std::ostream& err_;
    NeighbourRecord record_;
    EventBurst burst_;
    // Why the watch must end: its events can no longer be written.
    std::optional<std::string> broken_;
    std::chrono::steady_clock::time_point lastSave_;
};

}  // namespace varnock::console
