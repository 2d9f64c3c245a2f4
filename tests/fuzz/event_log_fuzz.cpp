// Any text as a watch's --log: the reader must never crash or throw; every
// line is an event or counted as bad, never both or neither; and the JSON
// an event keeps (the history hands it on as written) reads back as JSON.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "console/text/json_value.h"
#include "web/site/event_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnock::web;
    using varnock::console::JsonValue;
    using varnock::console::ParseJson;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const LogRead read = ReadEventLog(text, "fuzz");
    std::size_t lines = 0;
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        lines += line.find_first_not_of(" \t\r") == std::string_view::npos ? 0 : 1;
    }
    if (read.events.size() + read.status.badLines != lines ||
        read.status.events != read.events.size()) {
        std::abort();
    }
    for (const LogEvent& event : read.events) {
        const auto json = ParseJson(event.json);
        if (!json || json->type != JsonValue::Type::kObject || event.hardwareAddress.empty()) {
            std::abort();
        }
    }
    return 0;
}
