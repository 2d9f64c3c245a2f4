#pragma once

#include <string>

#include "console/vendors/vendor_names.h"
#include "console/watch/neighbour_record.h"

namespace varnock::console {

// "new", "changed", ...: the event's type as JSON and --exec name it.
const char* KindName(WatchEvent::Kind kind);

// One event in the two forms its outputs write, made once for all of them.
struct EventText {
    // For a person, terminal-safe, without the line end:
    //   2026-12-07T14:00:00Z  new      192.0.2.2  02:1A:2B:3C:4D:5E  Vendor  on eth0
    std::string line;
    // One JSON object for a script, with a type field, on one line.
    std::string json;
};

EventText TextOf(const WatchEvent& event, const Vendor& vendor);

}  // namespace varnock::console
