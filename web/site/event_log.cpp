#include "web/site/event_log.h"

#include "console/text/hardware_address_reading.h"
#include "console/text/json_value.h"
#include "console/text/text_lines.h"
#include "console/text/utc_text.h"
#include "console/text/utf8_text.h"

namespace varnock::web {
namespace {

using console::JsonValue;
using console::ParseJson;
using console::ReadHardwareAddressText;

// Longer lines are no event of the watch's (a burst's line lists at most a
// few addresses).
constexpr std::size_t kLongestLine = 64 * 1024;

}  // namespace

std::optional<LogEvent> ParseEventLine(std::string_view line) {
    if (line.size() > kLongestLine || !console::IsUtf8(line)) {
        return std::nullopt;
    }
    const auto json = ParseJson(line);
    if (!json || json->type != JsonValue::Type::kObject) {
        return std::nullopt;
    }
    const std::string* type = json->String("type");
    const std::string* time = json->String("time");
    const std::string* link = json->String("interface");
    const std::string* hardware = json->String("hardware_address");
    if (!type || !time || !link || !hardware) {
        return std::nullopt;
    }
    const auto when = console::ParseUtcText(*time);
    const auto bytes =
        ReadHardwareAddressText(*hardware, console::HardwareTextForm::kOneOrTwoDigits);
    if (!when || !bytes) {
        return std::nullopt;
    }
    LogEvent event;
    event.type = *type;
    event.time = *when;
    event.interfaceName = *link;
    event.hardwareAddress = *bytes;
    if (const std::string* previous = json->String("previous_hardware_address")) {
        if (const auto before =
                ReadHardwareAddressText(*previous, console::HardwareTextForm::kOneOrTwoDigits)) {
            event.previous = *before;
        }
    }
    if (const std::string* address = json->String("address")) {
        event.address = *address;
    }
    if (const JsonValue* list = json->Member("addresses", JsonValue::Type::kArray)) {
        for (const JsonValue& item : list->items) {
            if (item.type == JsonValue::Type::kString) {
                event.addresses.push_back(item.text);
            }
        }
    }
    if (const JsonValue* count = json->Member("count", JsonValue::Type::kNumber)) {
        event.count = count->text;
    }
    // Kept as written, without the blanks around it: the history gives the
    // watch's own objects.
    std::size_t begin = 0;
    std::size_t end = line.size();
    while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) {
        ++begin;
    }
    while (end > begin &&
           (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) {
        --end;
    }
    event.json = std::string(line.substr(begin, end - begin));
    return event;
}

LogRead ReadEventLog(std::string_view text, const std::string& path) {
    LogRead read;
    read.status.path = path;
    while (!text.empty()) {
        const std::string_view line = console::TakeLine(text);
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
            continue;
        }
        if (auto event = ParseEventLine(line)) {
            read.events.push_back(std::move(*event));
        } else {
            ++read.status.badLines;
        }
    }
    read.status.events = read.events.size();
    return read;
}

}  // namespace varnock::web
