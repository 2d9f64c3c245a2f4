#pragma once

#include <string>
#include <vector>

#include "web/site/device_filter.h"
#include "web/site/site_snapshot.h"

namespace varnock::web {

// The API's documents (docs/web-api.md lists their fields; openapi.cpp
// describes them). Field names are a stable interface.

// One device:
//   {"interface", "hardware_address", "name", "note", "known", "vendor",
//    "locally_administered", "addresses": [{"address", "family", "answering",
//    "first_seen", "last_seen"}], "first_seen", "last_seen", "state", "record"}
std::string DeviceJson(const Device& device);

// One record: {"path", "interface", "readable", "state", "problem", "saved",
// "neighbours"}.
std::string RecordJson(const RecordStatus& record);

// /api/v1/devices: {"generated", "records": [...], "counts": {...},
// "devices": [...]}, the devices those the filter shows.
std::string DevicesDocument(const SiteSnapshot& snapshot, const DeviceFilter& filter);

// /api/v1/devices/IFACE/HW: the device with "history": its events as the
// watch wrote them.
std::string DeviceDocument(const SiteSnapshot& snapshot, const Device& device);

// /api/v1/events: {"generated", "since", "events": [...]}, the events after
// `since` (all without), oldest first.
std::string EventsDocument(const SiteSnapshot& snapshot,
                           const std::optional<WallClock::time_point>& since);

// /api/v1/records: {"generated", "records": [...], "logs": [{"path",
// "readable", "problem", "events", "bad_lines"}]}.
std::string RecordsDocument(const SiteSnapshot& snapshot);

// An error: {"error": TEXT}.
std::string ErrorDocument(const std::string& message);

}  // namespace varnock::web
