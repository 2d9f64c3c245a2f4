#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "console/names/device_names.h"
#include "console/watch/event_totals.h"
#include "console/watch/neighbour_record.h"
#include "lookup/hardware_address_text.h"
#include "lookup/ip_address.h"
#include "web/site/answer_memo.h"

namespace varnock::web {

using WallClock = console::WallClock;

// One watch's record as it was read: every record given is here, a missing,
// unreadable or damaged one with why, never left out.
struct RecordStatus {
    enum class State { kReadable, kMissing, kUnreadable, kDamaged };
    std::string path;
    State state = State::kReadable;
    std::string problem;  // why, when not readable (a damaged one: the reader's own words)
    std::optional<WallClock::time_point> saved;  // when it was last written
    std::optional<std::string> interfaceName;    // the one interface all its neighbours are on
    std::size_t neighbours = 0;
    console::EventTotals told;  // the events its watch told (varnock_events_total)
};
const char* StateName(RecordStatus::State state);  // "readable", "missing", ...

// One event of a watch's --log, as the watch wrote it.
struct LogEvent {
    std::string type;  // new, changed, stopped, back, many, burst
    WallClock::time_point time;
    std::string interfaceName;
    HardwareAddressBytes hardwareAddress;
    HardwareAddressBytes previous;       // changed: the one before
    std::string address;                 // as written; empty for many and burst
    std::vector<std::string> addresses;  // many, burst
    std::string count;                   // burst: how many, as written
    std::string json;                    // the line's JSON object, as written
};

// One event log as it was read.
struct LogStatus {
    std::string path;
    std::string problem;  // empty when it was read
    std::size_t events = 0;
    std::size_t badLines = 0;  // lines that are no event of the watch's, skipped
};

struct DeviceAddress {
    IpAddress address;
    std::string text;  // as people write it
    bool answering = false;
    WallClock::time_point firstSeen;
    WallClock::time_point lastSeen;
};

// A device: one hardware address on one interface, with every address
// (IPv4 and IPv6) it answered for.
struct Device {
    std::string interfaceName;
    HardwareAddressBytes hardwareAddress;
    std::string hardwareText;  // 02:1A:2B:3C:4D:5E
    std::optional<console::DeviceName> name;
    std::optional<std::string> vendor;
    bool locallyAdministered = false;
    std::vector<DeviceAddress> addresses;  // IPv4 before IPv6, each in order
    WallClock::time_point firstSeen;       // the earliest of its addresses'
    WallClock::time_point lastSeen;        // the latest
    bool up = false;                       // any of its addresses answers
    std::string record;                    // the record it came from

    // "IFACE/HW", as the page's rows and the device view's path name it.
    std::string Key() const { return interfaceName + '/' + hardwareText; }
    bool Known() const { return name.has_value(); }
};

// Everything the site shows, as last read: never changed once made, so
// any number of requests may read it at once.
struct SiteSnapshot {
    WallClock::time_point generated;  // when it was read
    std::vector<RecordStatus> records;
    std::vector<LogStatus> logs;
    std::vector<Device> devices;   // by interface, then hardware address
    std::vector<LogEvent> events;  // oldest first
    // Lines of names files and vendor lists that could not be used.
    std::vector<std::string> nameProblems;
    std::vector<std::string> vendorProblems;
    // What Serve made of this snapshot so far.
    AnswerMemo answers;

    const Device* Find(const std::string& interfaceName,
                       const HardwareAddressBytes& hardwareAddress) const;
    // The events of one device: those naming its hardware address (now or
    // before a change) on its interface, oldest first.
    std::vector<const LogEvent*> HistoryOf(const Device& device) const;
};

}  // namespace varnock::web
