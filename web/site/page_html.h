#pragma once

#include <string>

#include "web/site/device_filter.h"
#include "web/site/site_snapshot.h"

namespace varnock::web {

// The pages, rendered whole by the server so that they work without
// scripts; app.js adds filtering and sorting in place and live updates.
// Every text from a record, a vendor list, a names file or an interface
// name goes through escape.h where it is placed.

// `/`: the counts, the filter form, the devices the filter shows, the
// records that cannot be shown and why, the export links, and the records'
// saved times.
std::string InventoryPage(const SiteSnapshot& snapshot, const DeviceFilter& filter);

// `/device/IFACE/HW`: the device's facts, its addresses and its history.
std::string DevicePage(const SiteSnapshot& snapshot, const Device& device);

// A page that only says what went wrong (not found, a bad filter).
std::string MessagePage(const std::string& title, const std::string& message);

}  // namespace varnock::web
