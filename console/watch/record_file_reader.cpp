#include "console/watch/record_file_reader.h"

#include <charconv>
#include <optional>

#include "console/text/hardware_address_reading.h"
#include "console/text/json_value.h"
#include "console/text/utc_text.h"
#include "console/watch/record_file.h"
#include "lookup/socket_text.h"

namespace varnock::console {
namespace {

std::optional<IpAddress> ParseAddress(const std::string& text) {
    std::array<std::uint8_t, 16> bytes{};
    if (text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (::inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1) {
        return IpAddress::V6(bytes);
    }
    Ipv4Address v4 = 0;
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return IpAddress::V4(v4);
    }
    return std::nullopt;
}

}  // namespace

std::variant<WatchRecordRead, std::string> ParseWatchRecord(std::string_view text) {
    // Just enough JSON for this file: whole numbers only, and the bytes of
    // interface names that are not UTF-8 as JsonBytes wrote them.
    auto read = ReadJson(text, {.deepest = 16, .wholeNumbersOnly = true, .byteEscapes = true});
    if (auto* problem = std::get_if<std::string>(&read)) {
        return "not JSON: " + *problem;
    }
    const JsonValue* document = &std::get<JsonValue>(read);
    if (document->type != JsonValue::Type::kObject) {
        return std::string("not a state file of this program (no JSON object)");
    }
    const JsonValue* version = document->Member("version", JsonValue::Type::kNumber);
    const JsonValue* neighbours = document->Member("neighbours", JsonValue::Type::kArray);
    if (version == nullptr || version->Whole() != kWatchStateVersion || neighbours == nullptr) {
        return std::string("not a state file of this version of the program");
    }
    std::vector<SeenNeighbour> seen;
    for (std::size_t i = 0; i < neighbours->items.size(); ++i) {
        const JsonValue& item = neighbours->items[i];
        const std::string which = "neighbour " + std::to_string(i + 1);
        const JsonValue* address = item.Member("address", JsonValue::Type::kString);
        const JsonValue* link = item.Member("interface", JsonValue::Type::kString);
        const JsonValue* hardware = item.Member("hardware_address", JsonValue::Type::kString);
        const JsonValue* first = item.Member("first_seen", JsonValue::Type::kString);
        const JsonValue* last = item.Member("last_seen", JsonValue::Type::kString);
        const JsonValue* answering = item.Member("answering", JsonValue::Type::kBool);
        if (!address || !link || !hardware || !first || !last || !answering) {
            return which + " lacks a field";
        }
        const auto ip = ParseAddress(address->text);
        const auto bytes =
            ReadHardwareAddressText(hardware->text, HardwareTextForm::kTwoDigitsColons);
        const auto firstSeen = ParseUtcText(first->text);
        const auto lastSeen = ParseUtcText(last->text);
        if (!ip || !bytes || !firstSeen || !lastSeen) {
            return which + ": a field cannot be read";
        }
        seen.push_back({*ip, link->text, *bytes, *firstSeen, *lastSeen, answering->boolean});
    }
    EventTotals told;
    if (const auto found = document->members.find("events"); found != document->members.end()) {
        if (found->second.type != JsonValue::Type::kObject) {
            return std::string("events: not an object");
        }
        for (const auto& [interfaceName, counts] : found->second.members) {
            if (counts.type != JsonValue::Type::kObject) {
                return "events of " + interfaceName + ": not an object";
            }
            for (const auto& [type, count] : counts.members) {
                const auto number = count.Whole();
                if (!number || *number < 0 ||
                    static_cast<std::uint64_t>(*number) > EventTotals::kLargest) {
                    return "events of " + interfaceName + ": the count of " + type +
                           " cannot be read";
                }
                if (const auto kind = KindNamed(type)) {
                    told.Add(interfaceName, *kind, static_cast<std::uint64_t>(*number));
                }
            }
        }
    }
    return WatchRecordRead{std::move(seen), std::move(told)};
}

StateRead ParseWatchState(std::string_view text) {
    auto read = ParseWatchRecord(text);
    if (auto* problem = std::get_if<std::string>(&read)) {
        return std::move(*problem);
    }
    return std::move(std::get<WatchRecordRead>(read).seen);
}

}  // namespace varnock::console
