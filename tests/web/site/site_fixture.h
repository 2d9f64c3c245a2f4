#pragma once

// One snapshot for the site's tests, made the way the record source makes
// it: records in the watch's own format read by the watch's own reader,
// names from a names file's text, events from log lines.

#include <arpa/inet.h>

#include <string>
#include <vector>

#include "console/names/device_names.h"
#include "console/text/utc_text.h"
#include "console/watch/record_file.h"
#include "web/http/http_message.h"
#include "web/site/event_log.h"
#include "web/site/snapshot_builder.h"

namespace varnock::web::testing {

inline const std::string kScript = "<script>alert(1)</script>";
inline const std::string kImage = "\"><img src=x onerror=alert(1)>";
inline const std::string kFormula = "=cmd|' /C calc'!A0";

inline WallClock::time_point At(const char* text) {
    return *console::ParseUtcText(text);
}

inline IpAddress V4(const char* text) {
    Ipv4Address address = 0;
    ::inet_pton(AF_INET, text, &address);
    return IpAddress::V4(address);
}

inline IpAddress V6(const char* text) {
    std::array<std::uint8_t, 16> bytes{};
    ::inet_pton(AF_INET6, text, bytes.data());
    return IpAddress::V6(bytes);
}

// 02:1A:... is locally administered (random); 00:1B:... are not.
inline const HardwareAddressBytes kPrinter{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
inline const HardwareAddressBytes kHostileVendor{0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
inline const HardwareAddressBytes kHostileName{0x00, 0x1B, 0x2C, 0x00, 0x00, 0x01};

inline std::vector<console::SeenNeighbour> Eth0Neighbours() {
    return {
        {V4("192.0.2.2"), "eth0", kPrinter, At("2026-12-07T14:00:00Z"), At("2026-12-07T14:59:00Z"),
         true},
        {V6("2001:db8::2"), "eth0", kPrinter, At("2026-12-07T14:01:00Z"),
         At("2026-12-07T14:58:00Z"), false},
        {V4("192.0.2.10"), "eth0", kHostileVendor, At("2026-12-01T09:00:00Z"),
         At("2026-12-02T09:00:00Z"), false},
        {V4("192.0.2.3"), "eth0", kHostileName, At("2026-12-06T10:00:00Z"),
         At("2026-12-07T14:30:00Z"), true},
    };
}

inline console::DeviceNames Names() {
    console::DeviceNames names;
    names.Add(
        "02:1a:2b:3c:4d:5e printer # by the stairs\n"
        "00:1b:2c:00:00:01 " +
            kScript + " # " + kImage +
            "\n"
            "not a line\n",
        "names.txt");
    names.Add("00-1B-2C-00-00-02 " + kFormula.substr(0, 4) + "\n", "more.txt");
    return names;
}

inline std::string EventLog() {
    return R"({"type": "new", "time": "2026-12-07T14:00:00Z", "interface": "eth0", "hardware_address": "02:1A:2B:3C:4D:5E", "first_seen": "2026-12-07T14:00:00Z", "last_seen": "2026-12-07T14:00:00Z", "address": "192.0.2.2", "previous_hardware_address": null, "vendor": null, "locally_administered": true}
{"type": "stopped", "time": "2026-12-07T14:20:00Z", "interface": "eth0", "hardware_address": "02:1A:2B:3C:4D:5E", "first_seen": "2026-12-07T14:00:00Z", "last_seen": "2026-12-07T14:10:00Z", "address": "192.0.2.2", "previous_hardware_address": null, "vendor": null, "locally_administered": true}
a line cut while the watch wrote it {"type":
{"type": "back", "time": "2026-12-07T14:30:00Z", "interface": "eth0", "hardware_address": "02:1A:2B:3C:4D:5E", "first_seen": "2026-12-07T14:00:00Z", "last_seen": "2026-12-07T14:30:00Z", "address": "192.0.2.2", "previous_hardware_address": null, "vendor": null, "locally_administered": true}
{"type": "changed", "time": "2026-12-07T14:40:00Z", "interface": "eth0", "hardware_address": "00:1B:2C:00:00:01", "first_seen": "2026-12-06T10:00:00Z", "last_seen": "2026-12-07T14:40:00Z", "address": "192.0.2.3", "previous_hardware_address": "00:1B:2C:00:00:09", "vendor": null, "locally_administered": false}
{"type": "new", "time": "2026-12-07T14:50:00Z", "interface": "eth9", "hardware_address": "02:1A:2B:3C:4D:5E", "first_seen": "2026-12-07T14:50:00Z", "last_seen": "2026-12-07T14:50:00Z", "address": "198.51.100.2", "previous_hardware_address": null, "vendor": null, "locally_administered": true}
)";
}

// The eth0 record, a damaged one and a missing one; the log above; the
// names above; a vendor list that names one device with hostile text.
inline SiteSnapshot MakeSnapshot(bool withLog = true) {
    std::vector<RecordRead> records;
    records.push_back(ReadRecordText("/var/lib/varnock-watch/eth0.json",
                                     console::FormatWatchState(Eth0Neighbours()),
                                     At("2026-12-07T14:59:30Z")));
    records.push_back(ReadRecordText("/var/lib/varnock-watch/eth1.json",
                                     "{\"version\": 1, \"neighbours\": [",
                                     At("2026-12-07T12:00:00Z")));
    records.push_back(UnreadableRecord("/var/lib/varnock-watch/eth2.json",
                                       RecordStatus::State::kMissing, "no such file"));
    std::vector<LogRead> logs;
    if (withLog) {
        logs.push_back(ReadEventLog(EventLog(), "/var/log/varnock/eth0.jsonl"));
    }
    const auto vendorOf = [](const HardwareAddressBytes& bytes) -> std::optional<std::string> {
        if (bytes == kHostileVendor) {
            return kScript + kImage + " " + kFormula;
        }
        return std::nullopt;
    };
    return AssembleSnapshot(std::move(records), std::move(logs), Names(), vendorOf,
                            At("2026-12-07T15:00:00Z"));
}

inline HttpRequest Get(std::string path,
                       std::vector<std::pair<std::string, std::string>> query = {}) {
    HttpRequest request;
    request.method = "GET";
    request.path = std::move(path);
    request.query = std::move(query);
    return request;
}

}  // namespace varnock::web::testing
