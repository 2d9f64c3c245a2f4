#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/watch/event_text.h"
#include "console/watch/neighbour_record.h"

namespace varnock::console {

// One place the watch's events go (standard output, --log, --exec). The
// watch tells each event to every output in the order they were added,
// then flushes them all; an output that can no longer write says so and
// the watch ends. Nothing here may wait: the watch goes on while an output
// works.
class EventOutput {
public:
    virtual ~EventOutput() = default;

    virtual void Tell(const WatchEvent& event, const EventText& text) = 0;

    // After each round of events: what was told is written out.
    virtual void Flush() {}

    // Why the watch must end: the events can no longer be written here.
    virtual std::optional<std::string> Broken() { return std::nullopt; }

    // Once a turn of the watch: the work that goes on between events (a
    // hook's run). Returns lines to report; none is fatal.
    virtual std::vector<std::string> Advance() { return {}; }

    // Whether Advance wants to be called again soon.
    virtual bool Busy() const { return false; }

    // At the end of the watch; lines to report.
    virtual std::vector<std::string> Finish() { return {}; }
};

}  // namespace varnock::console
