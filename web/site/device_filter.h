#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "web/site/site_snapshot.h"

namespace varnock::web {

enum class SortColumn {
    kHardwareAddress,
    kName,
    kVendor,
    kInterface,
    kAddresses,
    kFirstSeen,
    kLastSeen,
    kState
};
// The columns by their names in `sort=` and the page's data-sort, in the
// page's order.
inline constexpr std::pair<SortColumn, const char*> kSortColumns[] = {
    {SortColumn::kHardwareAddress, "hardware_address"},
    {SortColumn::kName, "name"},
    {SortColumn::kVendor, "vendor"},
    {SortColumn::kInterface, "interface"},
    {SortColumn::kAddresses, "addresses"},
    {SortColumn::kFirstSeen, "first_seen"},
    {SortColumn::kLastSeen, "last_seen"},
    {SortColumn::kState, "state"},
};
const char* SortColumnName(SortColumn column);

// What the page, the API and the exports are asked to show:
//   q=TEXT  state=up|stopped  new_since=TIME  random=1  unnamed=1
//   sort=COLUMN  order=asc|desc
struct DeviceFilter {
    std::string text;        // in the hardware address, name, note, vendor, interface or an address
    std::optional<bool> up;  // state=
    std::optional<WallClock::time_point> newSince;
    bool randomOnly = false;         // locally administered addresses only
    bool unnamedOnly = false;        // unknown devices only
    std::optional<SortColumn> sort;  // none: by address
    bool descending = false;

    bool Matches(const Device& device) const;
    // The filter as query parameters, in a fixed order, only those set:
    // for links that keep it ("q=x&state=up").
    std::string QueryText() const;
};

// The filter from a request's query parameters; unknown parameters are
// ignored, an empty value is no filter. A bad value gives the reason,
// naming the parameter ("state: up or stopped, not \"x\"").
std::variant<DeviceFilter, std::string> ParseDeviceFilter(
    const std::vector<std::pair<std::string, std::string>>& query);

// A time as a user gives it: "2026-12-07T14:00:00Z", or in UTC without the
// zone or seconds as a browser's date fields send it ("2026-12-07T14:00",
// "2026-12-07").
std::optional<WallClock::time_point> ParseUserTime(const std::string& text);

// The devices the filter shows, in its order.
std::vector<const Device*> SelectDevices(const SiteSnapshot& snapshot, const DeviceFilter& filter);

// The counts at the top of the page, over every device.
struct DeviceCounts {
    std::size_t total = 0, up = 0, stopped = 0, fresh = 0, random = 0, unnamed = 0;
    WallClock::time_point newSince;  // what "new" counted from
};
// "New" counts from the filter's new_since, or else the last day before the
// snapshot was read.
DeviceCounts CountDevices(const SiteSnapshot& snapshot, const DeviceFilter& filter);

}  // namespace varnock::web
