#include "web/site/api_json.h"

#include "console/text/utc_text.h"
#include "web/site/escape.h"

namespace varnock::web {
namespace {

std::string Time(WallClock::time_point time) {
    return JsonText(console::UtcText(time));
}

std::string OptionalText(const std::optional<std::string>& text) {
    return text ? JsonText(*text) : "null";
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

template <typename Items, typename Format>
std::string Array(const Items& items, Format format) {
    std::string json = "[";
    bool first = true;
    for (const auto& item : items) {
        json += first ? "\n" : ",\n";
        first = false;
        json += format(item);
    }
    return json + (first ? "]" : "\n]");
}

std::string CountsJson(const DeviceCounts& counts, std::size_t shown) {
    return "{\"total\": " + std::to_string(counts.total) +
           ", \"up\": " + std::to_string(counts.up) +
           ", \"stopped\": " + std::to_string(counts.stopped) +
           ", \"new\": " + std::to_string(counts.fresh) +
           ", \"new_since\": " + Time(counts.newSince) +
           ", \"random\": " + std::to_string(counts.random) +
           ", \"unnamed\": " + std::to_string(counts.unnamed) +
           ", \"shown\": " + std::to_string(shown) + "}";
}

// The device's fields without the closing brace, so that the device view
// can add its history.
std::string DeviceFields(const Device& device) {
    std::string json = "{\"interface\": " + JsonText(device.interfaceName);
    json += ", \"hardware_address\": " + JsonText(device.hardwareText);
    json += ", \"name\": " + (device.name ? JsonText(device.name->name) : "null");
    json += ", \"note\": " + (device.name ? OptionalText(device.name->note) : "null");
    json += std::string(", \"known\": ") + Bool(device.Known());
    json += ", \"vendor\": " + OptionalText(device.vendor);
    json += std::string(", \"locally_administered\": ") + Bool(device.locallyAdministered);
    json += ", \"addresses\": [";
    for (std::size_t i = 0; i < device.addresses.size(); ++i) {
        const DeviceAddress& address = device.addresses[i];
        json += (i == 0 ? "" : ", ");
        json += "{\"address\": " + JsonText(address.text);
        json += std::string(", \"family\": ") + (address.address.IsV6() ? "\"ipv6\"" : "\"ipv4\"");
        json += std::string(", \"answering\": ") + Bool(address.answering);
        json += ", \"first_seen\": " + Time(address.firstSeen);
        json += ", \"last_seen\": " + Time(address.lastSeen) + "}";
    }
    json += "], \"first_seen\": " + Time(device.firstSeen);
    json += ", \"last_seen\": " + Time(device.lastSeen);
    json += std::string(", \"state\": ") + (device.up ? "\"up\"" : "\"stopped\"");
    json += ", \"record\": " + JsonText(device.record);
    return json;
}

}  // namespace

std::string DeviceJson(const Device& device) {
    return DeviceFields(device) + "}";
}

std::string RecordJson(const RecordStatus& record) {
    const bool readable = record.state == RecordStatus::State::kReadable;
    std::string json = "{\"path\": " + JsonText(record.path);
    json += ", \"interface\": " + OptionalText(record.interfaceName);
    json += std::string(", \"readable\": ") + Bool(readable);
    json += std::string(", \"state\": \"") + StateName(record.state) + "\"";
    json += ", \"problem\": " + (readable ? "null" : JsonText(record.problem));
    json += ", \"saved\": " + (record.saved ? Time(*record.saved) : "null");
    json += ", \"neighbours\": " + std::to_string(record.neighbours) + "}";
    return json;
}

std::string DevicesDocument(const SiteSnapshot& snapshot, const DeviceFilter& filter) {
    const auto shown = SelectDevices(snapshot, filter);
    std::string json = "{\"generated\": " + Time(snapshot.generated);
    json += ",\n\"records\": " + Array(snapshot.records, RecordJson);
    json += ",\n\"counts\": " + CountsJson(CountDevices(snapshot, filter), shown.size());
    json +=
        ",\n\"devices\": " + Array(shown, [](const Device* device) { return DeviceJson(*device); });
    return json + "}\n";
}

std::string DeviceDocument(const SiteSnapshot& snapshot, const Device& device) {
    return DeviceFields(device) + ",\n\"history\": " +
           Array(snapshot.HistoryOf(device), [](const LogEvent* event) { return event->json; }) +
           "}\n";
}

std::string EventsDocument(const SiteSnapshot& snapshot,
                           const std::optional<WallClock::time_point>& since) {
    std::vector<const LogEvent*> events;
    for (const LogEvent& event : snapshot.events) {
        if (!since || event.time > *since) {
            events.push_back(&event);
        }
    }
    return "{\"generated\": " + Time(snapshot.generated) +
           ", \"since\": " + (since ? Time(*since) : "null") +
           ",\n\"events\": " + Array(events, [](const LogEvent* event) { return event->json; }) +
           "}\n";
}

std::string RecordsDocument(const SiteSnapshot& snapshot) {
    return "{\"generated\": " + Time(snapshot.generated) +
           ",\n\"records\": " + Array(snapshot.records, RecordJson) + ",\n\"logs\": " +
           Array(snapshot.logs,
                 [](const LogStatus& log) {
                     return "{\"path\": " + JsonText(log.path) +
                            ", \"readable\": " + Bool(log.problem.empty()) + ", \"problem\": " +
                            (log.problem.empty() ? "null" : JsonText(log.problem)) +
                            ", \"events\": " + std::to_string(log.events) +
                            ", \"bad_lines\": " + std::to_string(log.badLines) + "}";
                 }) +
           "}\n";
}

std::string ErrorDocument(const std::string& message) {
    return "{\"error\": " + JsonText(message) + "}\n";
}

}  // namespace varnock::web
