#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "console/watch/event_totals.h"
#include "console/watch/neighbour_record.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {

// What one watch's record gives the metrics. The spans and the pointer are
// the caller's and must outlive the call.
struct RecordMetrics {
    std::string name;  // the record's path (or the interface it watches): label `record`
    bool readable = false;
    std::optional<WallClock::time_point> saved;  // none: never saved, or not known
    std::span<const SeenNeighbour> neighbours;
    const EventTotals* events = nullptr;  // none: no event counted yet
};

// The name of a known device (one named in the names file), or null for a
// device nobody named.
using DeviceNameOf = std::function<const std::string*(const HardwareAddressBytes&)>;

// What a scrape of these metrics says it is.
inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The records as Prometheus' text exposition format (0.0.4): one HELP and
// TYPE line per metric, every series sorted, so that the same records give
// the same bytes. A device is a hardware address on an interface with all
// its addresses; only known devices get series of their own (their number
// is the names file's), unknown ones are only counted. What is counted is
// told once however many records hold it: a record named twice counts once,
// and an address on an interface that two records hold counts once (as the
// one seen last). `version` is the program's (varnock_build_info).
std::string FormatMetrics(std::span<const RecordMetrics> records, const DeviceNameOf& nameOf,
                          std::string_view version);

}  // namespace varnock::console
