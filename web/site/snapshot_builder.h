#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/names/device_names.h"
#include "web/site/event_log.h"
#include "web/site/site_snapshot.h"

namespace varnock::web {

// A record as read from its file: its status, and its neighbours when
// readable.
struct RecordRead {
    RecordStatus status;
    std::vector<console::SeenNeighbour> neighbours;
};

// The record `path` whose file held `text`, saved at `saved`, read with the
// watch's own reader; a text it refuses makes a damaged record with the
// reader's message.
RecordRead ReadRecordText(const std::string& path, std::string_view text,
                          WallClock::time_point saved);
// A record whose file could not be read at all.
RecordRead UnreadableRecord(const std::string& path, RecordStatus::State state,
                            std::string problem);

// The vendor of a hardware address; asked once per address.
using VendorLookup = std::function<std::optional<std::string>(const HardwareAddressBytes&)>;

// The snapshot of what was read: devices gathered from every readable
// record, named and given their vendors; events merged from every log,
// oldest first.
SiteSnapshot AssembleSnapshot(std::vector<RecordRead> records, std::vector<LogRead> logs,
                              const console::DeviceNames& names, const VendorLookup& vendorOf,
                              WallClock::time_point now);

}  // namespace varnock::web
