#include "web/site/device_filter.h"

#include <algorithm>
#include <cstdio>

#include "console/text/utc_text.h"
#include "web/site/escape.h"

namespace varnock::web {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool Contains(std::string_view haystack, const std::string& lowerNeedle) {
    return Lower(haystack).find(lowerNeedle) != std::string::npos;
}

std::optional<bool> Flag(const std::string& value) {
    if (value.empty() || value == "0") {
        return false;
    }
    if (value == "1" || value == "on" || value == "true") {
        return true;
    }
    return std::nullopt;
}

// The first address's family and bytes: devices sort by their addresses as
// numbers, not as text.
bool AddressesBefore(const Device& a, const Device& b) {
    if (a.addresses.empty() || b.addresses.empty()) {
        return !a.addresses.empty() && b.addresses.empty();
    }
    const IpAddress& x = a.addresses.front().address;
    const IpAddress& y = b.addresses.front().address;
    if (x.family != y.family) {
        return x.family == IpAddress::Family::kV4;
    }
    return x.bytes < y.bytes;
}

// Absent values after present ones, whatever the order.
bool OptionalBefore(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    if (!a || !b) {
        return a.has_value() && !b.has_value();
    }
    return Lower(*a) < Lower(*b);
}

std::optional<std::string> NameOf(const Device& device) {
    return device.name ? std::optional(device.name->name) : std::nullopt;
}

}  // namespace

const char* SortColumnName(SortColumn column) {
    for (const auto& [value, name] : kSortColumns) {
        if (value == column) {
            return name;
        }
    }
    return "?";
}

bool DeviceFilter::Matches(const Device& device) const {
    if (up && device.up != *up) {
        return false;
    }
    if (newSince && device.firstSeen < *newSince) {
        return false;
    }
    if ((randomOnly && !device.locallyAdministered) || (unnamedOnly && device.Known())) {
        return false;
    }
    if (text.empty()) {
        return true;
    }
    const std::string needle = Lower(text);
    if (Contains(device.hardwareText, needle) || Contains(device.interfaceName, needle) ||
        (device.vendor && Contains(*device.vendor, needle)) ||
        (device.name && (Contains(device.name->name, needle) ||
                         (device.name->note && Contains(*device.name->note, needle))))) {
        return true;
    }
    return std::any_of(
        device.addresses.begin(), device.addresses.end(),
        [&](const DeviceAddress& address) { return Contains(address.text, needle); });
}

std::string DeviceFilter::QueryText() const {
    std::vector<std::string> parts;
    if (!text.empty()) {
        parts.push_back("q=" + UrlComponent(text));
    }
    if (up) {
        parts.push_back(*up ? "state=up" : "state=stopped");
    }
    if (newSince) {
        parts.push_back("new_since=" + UrlComponent(console::UtcText(*newSince)));
    }
    if (randomOnly) {
        parts.push_back("random=1");
    }
    if (unnamedOnly) {
        parts.push_back("unnamed=1");
    }
    if (sort) {
        parts.push_back(std::string("sort=") + SortColumnName(*sort));
    }
    if (descending) {
        parts.push_back("order=desc");
    }
    std::string query;
    for (const std::string& part : parts) {
        query += (query.empty() ? "" : "&") + part;
    }
    return query;
}

std::optional<WallClock::time_point> ParseUserTime(const std::string& text) {
    if (auto exact = console::ParseUtcText(text); exact && text.size() == 20) {
        return exact;
    }
    // A browser's date and time fields: no zone, perhaps no seconds or time.
    const auto complete = [&]() -> std::optional<std::string> {
        if (text.size() == 10) {
            return text + "T00:00:00Z";
        }
        if (text.size() == 16) {
            return text + ":00Z";
        }
        if (text.size() == 19) {
            return text + "Z";
        }
        return std::nullopt;
    }();
    if (!complete) {
        return std::nullopt;
    }
    // Only digits where ParseUtcText reads them: sscanf would skip blanks
    // and take signs.
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const char c = (*complete)[i];
        if (kShape[i] == 'd' ? (c < '0' || c > '9') : c != kShape[i]) {
            return std::nullopt;
        }
    }
    return console::ParseUtcText(*complete);
}

std::variant<DeviceFilter, std::string> ParseDeviceFilter(
    const std::vector<std::pair<std::string, std::string>>& query) {
    DeviceFilter filter;
    for (const auto& [name, value] : query) {
        if (name == "q") {
            filter.text = value;
        } else if (name == "state") {
            if (value.empty()) {
                filter.up.reset();
            } else if (value == "up" || value == "stopped") {
                filter.up = value == "up";
            } else {
                return "state: up or stopped, not \"" + value + "\"";
            }
        } else if (name == "new_since") {
            if (value.empty()) {
                filter.newSince.reset();
            } else if (const auto time = ParseUserTime(value)) {
                filter.newSince = time;
            } else {
                return "new_since: a time such as 2026-12-07T14:00:00Z (UTC), not \"" + value +
                       "\"";
            }
        } else if (name == "random" || name == "unnamed") {
            const auto flag = Flag(value);
            if (!flag) {
                return name + ": 1 or 0, not \"" + value + "\"";
            }
            (name == "random" ? filter.randomOnly : filter.unnamedOnly) = *flag;
        } else if (name == "sort") {
            const std::string& wanted = value;  // a lambda cannot name a structured binding (clang)
            const auto* found =
                std::find_if(std::begin(kSortColumns), std::end(kSortColumns),
                             [&](const auto& column) { return wanted == column.second; });
            if (value.empty()) {
                filter.sort.reset();
            } else if (found == std::end(kSortColumns)) {
                return "sort: one of hardware_address, name, vendor, interface, addresses, "
                       "first_seen, last_seen, state, not \"" +
                       value + "\"";
            } else {
                filter.sort = found->first;
            }
        } else if (name == "order") {
            if (value != "asc" && value != "desc" && !value.empty()) {
                return "order: asc or desc, not \"" + value + "\"";
            }
            filter.descending = value == "desc";
        }
    }
    return filter;
}

std::vector<const Device*> SelectDevices(const SiteSnapshot& snapshot, const DeviceFilter& filter) {
    std::vector<const Device*> shown;
    for (const Device& device : snapshot.devices) {
        if (filter.Matches(device)) {
            shown.push_back(&device);
        }
    }
    const SortColumn column = filter.sort.value_or(SortColumn::kAddresses);
    const auto before = [column](const Device& a, const Device& b) {
        switch (column) {
            case SortColumn::kHardwareAddress:
                return a.hardwareAddress < b.hardwareAddress;
            case SortColumn::kName:
                return OptionalBefore(NameOf(a), NameOf(b));
            case SortColumn::kVendor:
                return OptionalBefore(a.vendor, b.vendor);
            case SortColumn::kInterface:
                return a.interfaceName < b.interfaceName;
            case SortColumn::kAddresses:
                return AddressesBefore(a, b);
            case SortColumn::kFirstSeen:
                return a.firstSeen < b.firstSeen;
            case SortColumn::kLastSeen:
                return a.lastSeen < b.lastSeen;
            case SortColumn::kState:
                return a.up && !b.up;
        }
        return false;
    };
    // Ties keep the snapshot's order (interface, hardware address), in
    // either direction.
    std::stable_sort(shown.begin(), shown.end(), [&](const Device* a, const Device* b) {
        return filter.descending ? before(*b, *a) : before(*a, *b);
    });
    return shown;
}

DeviceCounts CountDevices(const SiteSnapshot& snapshot, const DeviceFilter& filter) {
    DeviceCounts counts;
    counts.newSince = filter.newSince.value_or(snapshot.generated - std::chrono::hours(24));
    for (const Device& device : snapshot.devices) {
        ++counts.total;
        ++(device.up ? counts.up : counts.stopped);
        counts.fresh += device.firstSeen >= counts.newSince ? 1U : 0U;
        counts.random += device.locallyAdministered ? 1U : 0U;
        counts.unnamed += device.Known() ? 0U : 1U;
    }
    return counts;
}

}  // namespace varnock::web
