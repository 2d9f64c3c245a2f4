#pragma once

// Records as two watches and a damaged file would leave them, with names
// and interface names that need escaping: the metrics' golden text is made
// from these (metrics_fixture.prom), and promtool checks what they give.

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "console/metrics/metrics_text.h"

namespace varnock::console {

class MetricsFixture {
public:
    MetricsFixture();
    MetricsFixture(const MetricsFixture&) = delete;
    MetricsFixture& operator=(const MetricsFixture&) = delete;

    static constexpr std::string_view kVersion = "9.99";

    std::string Text() const { return FormatMetrics(records, NameOf(), kVersion); }
    DeviceNameOf NameOf() const {
        return [this](const HardwareAddressBytes& bytes) -> const std::string* {
            const auto found = names.find(bytes);
            return found == names.end() ? nullptr : &found->second;
        };
    }

    std::vector<SeenNeighbour> segment;  // eth0's record
    std::vector<SeenNeighbour> lab;      // the other watch's
    EventTotals segmentEvents;
    EventTotals labEvents;
    std::map<HardwareAddressBytes, std::string> names;
    std::vector<RecordMetrics> records;
};

// 2026-12-07 at `hour`:`minute`:`second` UTC.
inline WallClock::time_point At(int hour, int minute, int second = 0) {
    using namespace std::chrono;
    return sys_days(year(2026) / December / 7) + hours(hour) + minutes(minute) + seconds(second);
}

inline IpAddress V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    IpAddress address;
    address.bytes[0] = a;
    address.bytes[1] = b;
    address.bytes[2] = c;
    address.bytes[3] = d;
    return address;
}

// 2001:db8::`last`, or fe80::`last` on the interface numbered `scope`.
inline IpAddress V6(std::uint8_t last, bool linkLocal = false, std::uint32_t scope = 0) {
    std::array<std::uint8_t, 16> bytes{};
    if (linkLocal) {
        bytes[0] = 0xFE;
        bytes[1] = 0x80;
    } else {
        bytes[0] = 0x20;
        bytes[1] = 0x01;
        bytes[2] = 0x0D;
        bytes[3] = 0xB8;
    }
    bytes[15] = last;
    return IpAddress::V6(bytes, scope);
}

inline MetricsFixture::MetricsFixture() {
    const HardwareAddressBytes printer{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const HardwareAddressBytes nas{0x02, 0x1A, 0x2B, 0x00, 0x00, 0x11};
    const HardwareAddressBytes stranger{0x02, 0x1A, 0x2B, 0x00, 0x00, 0x12};
    const HardwareAddressBytes oldStranger{0x02, 0x1A, 0x2B, 0x00, 0x00, 0x13};
    const HardwareAddressBytes camera{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    const HardwareAddressBytes kettle{0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
    names[printer] = "printer";
    names[nas] = "nas \"main\" C:\\share\nrack B";
    names[camera] = "caf\xC3\xA9 \xE2\x98\x95";  // valid UTF-8: kept as it is
    names[kettle] = "bad\xC0\xAF name\xFF";      // an overlong "/" and a stray byte

    // Out of order on purpose: the text is sorted, whatever the record's order.
    segment = {
        {V4(192, 0, 2, 12), "eth0", stranger, At(14, 30), At(15, 0), true},
        {V6(2), "eth0", printer, At(14, 0), At(14, 59), true},
        {V4(192, 0, 2, 2), "eth0", printer, At(14, 0), At(15, 0), true},
        {V6(0x5E, true, 3), "eth0", printer, At(14, 1), At(14, 58), false},
        {V4(192, 0, 2, 11), "eth0", nas, At(13, 0), At(14, 10), false},
        {V4(192, 0, 2, 13), "eth0", oldStranger, At(14, 45), At(14, 50), false},
    };
    segmentEvents.Add("eth0", WatchEvent::Kind::kNew, 5);
    segmentEvents.Add("eth0", WatchEvent::Kind::kChanged, 1);
    segmentEvents.Add("eth0", WatchEvent::Kind::kBurst, 2);

    const std::string labInterface =
        "lab\xFF"
        "0";
    lab = {
        {V4(198, 51, 100, 2), labInterface, camera, At(10, 0), At(15, 0, 1), true},
        {V4(198, 51, 100, 3), labInterface, kettle, At(10, 0), At(12, 0), false},
    };
    labEvents.Add(labInterface, WatchEvent::Kind::kStopped, 3);

    using std::chrono::milliseconds;
    records = {
        {"/var/lib/varnock-watch/eth0.json", true, At(15, 0), segment, &segmentEvents},
        {"/var/lib/varnock-watch/lab\xFF.json", true, At(15, 0, 2) + milliseconds(250), lab,
         &labEvents},
        {"/var/lib/varnock-watch/gone.json", false, std::nullopt, {}, nullptr},
    };
}

}  // namespace varnock::console
