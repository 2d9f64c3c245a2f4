#include "console/watch_state.h"

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#else
#include <arpa/inet.h>
#endif

#include <cstdio>
#include <ctime>
#include <map>

#include "console/result_text.h"
#include "console/targets.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {
namespace {

constexpr int kVersion = 1;

// Just enough JSON for this file: objects, arrays, strings, whole numbers,
// true, false and null. Anything else is refused, never guessed at.
struct Json {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
    bool boolean = false;
    long long number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    std::optional<Json> Document() {
        auto value = Value(0);
        Blanks();
        return value && at_ == text_.size() ? value : std::nullopt;
    }

private:
    static constexpr int kDeepest = 16;

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool Take(char c) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<Json> Value(int depth) {
        Blanks();
        if (at_ >= text_.size() || depth > kDeepest) {
            return std::nullopt;
        }
        Json value;
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value.type = Json::Type::kObject;
            if (Take('}')) {
                return value;
            }
            do {
                Blanks();
                auto key = String();
                if (!key || !Take(':')) {
                    return std::nullopt;
                }
                auto member = Value(depth + 1);
                if (!member) {
                    return std::nullopt;
                }
                value.members[*key] = std::move(*member);
            } while (Take(','));
            return Take('}') ? std::optional(std::move(value)) : std::nullopt;
        }
        if (c == '[') {
            ++at_;
            value.type = Json::Type::kArray;
            if (Take(']')) {
                return value;
            }
            do {
                auto item = Value(depth + 1);
                if (!item) {
                    return std::nullopt;
                }
                value.items.push_back(std::move(*item));
            } while (Take(','));
            return Take(']') ? std::optional(std::move(value)) : std::nullopt;
        }
        if (c == '"') {
            auto text = String();
            if (!text) {
                return std::nullopt;
            }
            value.type = Json::Type::kString;
            value.text = std::move(*text);
            return value;
        }
        if (Word("true") || Word("false")) {
            value.type = Json::Type::kBool;
            value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
            return value;
        }
        if (Word("null")) {
            return value;
        }
        std::size_t end = at_ + (c == '-' ? 1 : 0);
        while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9' && end - at_ < 18) {
            ++end;
        }
        if (end == at_ || (c == '-' && end == at_ + 1)) {
            return std::nullopt;
        }
        value.type = Json::Type::kNumber;
        value.number = std::stoll(std::string(text_.substr(at_, end - at_)));
        at_ = end;
        return value;
    }

    // Only the escapes this file's own writer makes: quote, backslash and
    // \\u00XX for control characters.
    std::optional<std::string> String() {
        if (at_ >= text_.size() || text_[at_] != '"') {
            return std::nullopt;
        }
        std::string text;
        for (++at_; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return text;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return std::nullopt;
            }
            if (c != '\\') {
                text += c;
                continue;
            }
            if (++at_ >= text_.size()) {
                return std::nullopt;
            }
            const char escaped = text_[at_];
            if (escaped == '"' || escaped == '\\' || escaped == '/') {
                text += escaped;
            } else if (escaped == 'u' && at_ + 4 < text_.size() &&
                       text_.substr(at_ + 1, 2) == "00") {
                text += static_cast<char>(
                    std::stoi(std::string(text_.substr(at_ + 3, 2)), nullptr, 16));
                at_ += 4;
            } else {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

const Json* Member(const Json& object, const char* name, Json::Type type) {
    const auto found = object.members.find(name);
    return found != object.members.end() && found->second.type == type ? &found->second : nullptr;
}

std::optional<IpAddress> ParseAddress(const std::string& text) {
    std::array<std::uint8_t, 16> bytes{};
    if (::inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1) {
        return IpAddress::V6(bytes);
    }
    Ipv4Address v4 = 0;
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return IpAddress::V4(v4);
    }
    return std::nullopt;
}

std::optional<HardwareAddressBytes> ParseHardwareAddress(const std::string& text) {
    HardwareAddressBytes bytes;
    for (std::size_t at = 0; at < text.size(); at += 3) {
        unsigned value = 0;
        if (std::sscanf(text.substr(at, 2).c_str(), "%2x", &value) != 1 ||
            (at + 2 < text.size() && text[at + 2] != ':')) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes.empty() ? std::nullopt : std::optional(bytes);
}

// Two hex digits a byte, joined by colons, whatever the length.
std::string ColonHex(const HardwareAddressBytes& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        text += text.empty() ? "" : ":";
        text += pair;
    }
    return text;
}

}  // namespace

std::string UtcText(WallClock::time_point time) {
    const std::time_t seconds = WallClock::to_time_t(time);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::optional<WallClock::time_point> ParseUtcText(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                    &second, &zone) != 7 ||
        zone != 'Z') {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
           std::chrono::seconds(second);
}

StateRead ParseWatchState(const std::string& text) {
    const auto document = JsonReader(text).Document();
    if (!document || document->type != Json::Type::kObject) {
        return std::string("not a state file of this program (not JSON)");
    }
    const Json* version = Member(*document, "version", Json::Type::kNumber);
    const Json* neighbours = Member(*document, "neighbours", Json::Type::kArray);
    if (version == nullptr || version->number != kVersion || neighbours == nullptr) {
        return std::string("not a state file of this version of the program");
    }
    std::vector<SeenNeighbour> seen;
    for (const Json& item : neighbours->items) {
        const Json* address = Member(item, "address", Json::Type::kString);
        const Json* link = Member(item, "interface", Json::Type::kString);
        const Json* hardware = Member(item, "hardware_address", Json::Type::kString);
        const Json* first = Member(item, "first_seen", Json::Type::kString);
        const Json* last = Member(item, "last_seen", Json::Type::kString);
        const Json* answering = Member(item, "answering", Json::Type::kBool);
        if (!address || !link || !hardware || !first || !last || !answering) {
            return std::string("a neighbour lacks a field");
        }
        const auto ip = ParseAddress(address->text);
        const auto bytes = ParseHardwareAddress(hardware->text);
        const auto firstSeen = ParseUtcText(first->text);
        const auto lastSeen = ParseUtcText(last->text);
        if (!ip || !bytes || !firstSeen || !lastSeen) {
            return "a neighbour's field cannot be read (" + address->text + ")";
        }
        seen.push_back({*ip, link->text, *bytes, *firstSeen, *lastSeen, answering->boolean});
    }
    return seen;
}

std::string FormatWatchState(const std::vector<SeenNeighbour>& seen) {
    std::string text = "{\"version\": " + std::to_string(kVersion) + ", \"neighbours\": [";
    const auto noName = [](std::uint32_t) { return std::string(); };
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const SeenNeighbour& neighbour = seen[i];
        text += i == 0 ? "\n  " : ",\n  ";
        text += "{\"address\": " + JsonString(AddressText(neighbour.address, noName));
        text += ", \"interface\": " + JsonString(neighbour.interfaceName);
        text += ", \"hardware_address\": " + JsonString(ColonHex(neighbour.hardwareAddress));
        text += ", \"first_seen\": " + JsonString(UtcText(neighbour.firstSeen));
        text += ", \"last_seen\": " + JsonString(UtcText(neighbour.lastSeen));
        text += std::string(", \"answering\": ") + (neighbour.answering ? "true" : "false") + "}";
    }
    return text + "\n]}\n";
}

}  // namespace varnock::console
