#include "console/watch/record_file_reader.h"

#include <charconv>
#include <map>
#include <optional>

#include "console/text/utc_text.h"
#include "console/watch/record_file.h"
#include "lookup/socket_text.h"

namespace varnock::console {
namespace {

// Just enough JSON for this file: objects, arrays, strings, whole numbers,
// true, false and null. Anything else is refused with where it is, never
// guessed at.
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
        if (value) {
            Blanks();
            if (at_ != text_.size()) {
                return Fail("text after the end of the document");
            }
        }
        return value;
    }

    // Why Document failed, with the line and column (both from 1, a column
    // counted in bytes).
    std::string Problem() const {
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < problemAt_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
               problem_;
    }

private:
    static constexpr int kDeepest = 16;

    std::nullopt_t Fail(const char* why) {
        if (problem_.empty()) {
            problem_ = why;
            problemAt_ = at_;
        }
        return std::nullopt;
    }
    std::nullopt_t Wrong(const char* why) {
        escapeProblem_ = why;
        return std::nullopt;
    }
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
        if (at_ >= text_.size()) {
            return Fail("the text ends where a value should be");
        }
        if (depth > kDeepest) {
            return Fail("nested too deeply");
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
                if (!key) {
                    return Fail("a member name (a string) expected");
                }
                if (!Take(':')) {
                    return Fail("':' expected");
                }
                auto member = Value(depth + 1);
                if (!member) {
                    return std::nullopt;
                }
                value.members[*key] = std::move(*member);
            } while (Take(','));
            return Take('}') ? std::optional(std::move(value)) : Fail("',' or '}' expected");
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
            return Take(']') ? std::optional(std::move(value)) : Fail("',' or ']' expected");
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
        if (Word("true")) {
            value.type = Json::Type::kBool;
            value.boolean = true;
            return value;
        }
        if (Word("false")) {
            value.type = Json::Type::kBool;
            return value;
        }
        if (Word("null")) {
            return value;
        }
        const char* begin = text_.data() + at_;
        const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), value.number);
        if (error == std::errc::result_out_of_range) {
            return Fail("a number too large");
        }
        if (error != std::errc{} ||
            (end < text_.data() + text_.size() && (*end == '.' || *end == 'e' || *end == 'E'))) {
            return Fail("not a value this file holds");
        }
        value.type = Json::Type::kNumber;
        at_ += static_cast<std::size_t>(end - begin);
        return value;
    }

    std::optional<unsigned> Hex4() {
        if (text_.size() - at_ < 4) {
            return std::nullopt;
        }
        unsigned code = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char digit = text_[at_ + i];
            code <<= 4;
            if (digit >= '0' && digit <= '9') {
                code |= static_cast<unsigned>(digit - '0');
            } else if (digit >= 'a' && digit <= 'f') {
                code |= static_cast<unsigned>(digit - 'a' + 10);
            } else if (digit >= 'A' && digit <= 'F') {
                code |= static_cast<unsigned>(digit - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        at_ += 4;
        return code;
    }

    static void AppendUtf8(std::string& text, unsigned code) {
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    // Every escape JSON has, \uXXXX (surrogate pairs included) as UTF-8,
    // and \udc80 to \udcff as the bytes 0x80 to 0xFF (JsonBytes).
    // Told where the backslash is.
    std::optional<unsigned> Escape() {
        const std::size_t backslash = at_ - 1;
        auto code = EscapedCode();
        if (!code) {
            at_ = backslash;
            return Fail(escapeProblem_);
        }
        return code;
    }

    std::optional<unsigned> EscapedCode() {
        static constexpr std::string_view kSingles = "\"\"\\\\//b\bf\fn\nr\rt\t";
        const char escaped = text_[at_++];
        for (std::size_t i = 0; i < kSingles.size(); i += 2) {
            if (kSingles[i] == escaped) {
                return static_cast<unsigned char>(kSingles[i + 1]);
            }
        }
        if (escaped != 'u') {
            return Wrong("an unknown escape");
        }
        auto code = Hex4();
        if (!code) {
            return Wrong("a unicode escape needs four hexadecimal digits");
        }
        if (*code >= 0xDC80 && *code <= 0xDCFF) {
            return code;  // a byte that is not UTF-8 (JsonBytes)
        }
        if (*code >= 0xDC00 && *code <= 0xDFFF) {
            return Wrong("a lone low surrogate");
        }
        if (*code >= 0xD800 && *code <= 0xDBFF) {
            if (!Word("\\u")) {
                return Wrong("a high surrogate without its low one");
            }
            const auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                return Wrong("a high surrogate without its low one");
            }
            return 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
        }
        return code;
    }

    std::optional<std::string> String() {
        if (at_ >= text_.size() || text_[at_] != '"') {
            return std::nullopt;
        }
        std::string text;
        for (++at_; at_ < text_.size();) {
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return text;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("a control character inside a string");
            }
            ++at_;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (at_ >= text_.size()) {
                break;
            }
            const auto code = Escape();
            if (!code) {
                return std::nullopt;
            }
            if (*code >= 0xDC80 && *code <= 0xDCFF) {
                text += static_cast<char>(*code - 0xDC00);
            } else {
                AppendUtf8(text, *code);
            }
        }
        return Fail("a string without its closing quote");
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string problem_;
    std::size_t problemAt_ = 0;
    const char* escapeProblem_ = "";
};

const Json* Member(const Json& object, const char* name, Json::Type type) {
    const auto found = object.members.find(name);
    return found != object.members.end() && found->second.type == type ? &found->second : nullptr;
}

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

// Two hexadecimal digits a byte, joined by colons: what FormatWatchState
// writes, of any length up to what a link layer uses.
std::optional<HardwareAddressBytes> ParseHardwareAddress(const std::string& text) {
    constexpr std::size_t kLongest = 32;
    HardwareAddressBytes bytes;
    for (std::size_t at = 0;; at += 3) {
        unsigned char value = 0;
        const char* begin = text.data() + at;
        if (at + 2 > text.size() || std::from_chars(begin, begin + 2, value, 16).ptr != begin + 2) {
            return std::nullopt;
        }
        bytes.push_back(value);
        if (at + 2 == text.size()) {
            break;
        }
        if (text[at + 2] != ':' || bytes.size() == kLongest) {
            return std::nullopt;
        }
    }
    return bytes;
}

}  // namespace

std::variant<WatchRecordRead, std::string> ParseWatchRecord(std::string_view text) {
    JsonReader reader(text);
    const auto document = reader.Document();
    if (!document) {
        return "not JSON: " + reader.Problem();
    }
    if (document->type != Json::Type::kObject) {
        return std::string("not a state file of this program (no JSON object)");
    }
    const Json* version = Member(*document, "version", Json::Type::kNumber);
    const Json* neighbours = Member(*document, "neighbours", Json::Type::kArray);
    if (version == nullptr || version->number != kWatchStateVersion || neighbours == nullptr) {
        return std::string("not a state file of this version of the program");
    }
    std::vector<SeenNeighbour> seen;
    for (std::size_t i = 0; i < neighbours->items.size(); ++i) {
        const Json& item = neighbours->items[i];
        const std::string which = "neighbour " + std::to_string(i + 1);
        const Json* address = Member(item, "address", Json::Type::kString);
        const Json* link = Member(item, "interface", Json::Type::kString);
        const Json* hardware = Member(item, "hardware_address", Json::Type::kString);
        const Json* first = Member(item, "first_seen", Json::Type::kString);
        const Json* last = Member(item, "last_seen", Json::Type::kString);
        const Json* answering = Member(item, "answering", Json::Type::kBool);
        if (!address || !link || !hardware || !first || !last || !answering) {
            return which + " lacks a field";
        }
        const auto ip = ParseAddress(address->text);
        const auto bytes = ParseHardwareAddress(hardware->text);
        const auto firstSeen = ParseUtcText(first->text);
        const auto lastSeen = ParseUtcText(last->text);
        if (!ip || !bytes || !firstSeen || !lastSeen) {
            return which + ": a field cannot be read";
        }
        seen.push_back({*ip, link->text, *bytes, *firstSeen, *lastSeen, answering->boolean});
    }
    EventTotals told;
    if (const auto found = document->members.find("events"); found != document->members.end()) {
        if (found->second.type != Json::Type::kObject) {
            return std::string("events: not an object");
        }
        for (const auto& [interfaceName, counts] : found->second.members) {
            if (counts.type != Json::Type::kObject) {
                return "events of " + interfaceName + ": not an object";
            }
            for (const auto& [type, count] : counts.members) {
                if (count.type != Json::Type::kNumber || count.number < 0 ||
                    static_cast<std::uint64_t>(count.number) > EventTotals::kLargest) {
                    return "events of " + interfaceName + ": the count of " + type +
                           " cannot be read";
                }
                if (const auto kind = KindNamed(type)) {
                    told.Add(interfaceName, *kind, static_cast<std::uint64_t>(count.number));
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
