#include "console/watch/event_text.h"

#include <algorithm>

#include "console/text/address_text.h"
#include "console/text/json_text.h"
#include "console/text/terminal_text.h"
#include "console/text/utc_text.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {
namespace {

std::string EventLine(const WatchEvent& event, const Vendor& vendor) {
    std::string line = UtcText(event.time) + "  " + KindName(event.kind);
    line.resize(std::max<std::size_t>(line.size(), 30), ' ');
    if (event.kind == WatchEvent::Kind::kMany) {
        line += HardwareAddressText(event.hardwareAddress, ":") + "  answers for " +
                AddressList(event.addresses);
    } else if (event.kind == WatchEvent::Kind::kBurst) {
        line += std::to_string(event.count) + " more new addresses, most from " +
                HardwareAddressText(event.hardwareAddress, ":") + ": " +
                AddressList(event.addresses) +
                (event.count > event.addresses.size() ? ", ..." : "");
    } else {
        line += PlainAddress(event.address) + "  ";
        if (event.kind == WatchEvent::Kind::kChanged) {
            line += HardwareAddressText(event.previous, ":") + " -> ";
        }
        line += HardwareAddressText(event.hardwareAddress, ":");
        if (vendor.name) {
            line += "  " + std::string(*vendor.name);
        } else if (vendor.locallyAdministered) {
            line += "  (locally administered)";
        }
    }
    return TerminalText(line + "  on " + event.interfaceName);
}

std::string EventJson(const WatchEvent& event, const Vendor& vendor) {
    std::string json = "{\"type\": \"" + std::string(KindName(event.kind)) + "\"";
    json += ", \"time\": " + JsonString(UtcText(event.time));
    json += ", \"interface\": " + JsonString(event.interfaceName);
    json +=
        ", \"hardware_address\": " + JsonString(HardwareAddressText(event.hardwareAddress, ":"));
    json += ", \"first_seen\": " + JsonString(UtcText(event.firstSeen));
    json += ", \"last_seen\": " + JsonString(UtcText(event.lastSeen));
    if (event.kind == WatchEvent::Kind::kMany || event.kind == WatchEvent::Kind::kBurst) {
        if (event.kind == WatchEvent::Kind::kBurst) {
            json += ", \"count\": " + std::to_string(event.count);
        }
        json += ", \"addresses\": [";
        for (std::size_t i = 0; i < event.addresses.size(); ++i) {
            json += (i == 0 ? "" : ", ") + JsonString(PlainAddress(event.addresses[i]));
        }
        return json + "]}";
    }
    json += ", \"address\": " + JsonString(PlainAddress(event.address));
    json += ", \"previous_hardware_address\": ";
    json += event.kind == WatchEvent::Kind::kChanged
                ? JsonString(HardwareAddressText(event.previous, ":"))
                : "null";
    json += ", \"vendor\": ";
    json += vendor.name ? JsonString(*vendor.name) : "null";
    json += std::string(", \"locally_administered\": ") +
            (vendor.locallyAdministered ? "true" : "false");
    return json + '}';
}

}  // namespace

const char* KindName(WatchEvent::Kind kind) {
    switch (kind) {
        case WatchEvent::Kind::kNew:
            return "new";
        case WatchEvent::Kind::kChanged:
            return "changed";
        case WatchEvent::Kind::kStopped:
            return "stopped";
        case WatchEvent::Kind::kMany:
            return "many";
        case WatchEvent::Kind::kBack:
            return "back";
        case WatchEvent::Kind::kBurst:
            return "burst";
    }
    return "?";
}

EventText TextOf(const WatchEvent& event, const Vendor& vendor) {
    return {EventLine(event, vendor), EventJson(event, vendor)};
}

}  // namespace varnock::console
