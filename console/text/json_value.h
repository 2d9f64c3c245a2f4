#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace varnock::console {

// A JSON value as read. Numbers keep their text; a repeated member name: the
// last wins.
struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
    Type type = Type::kNull;
    bool boolean = false;
    std::string text;  // a string's value, a number's text
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member `name` when this is an object that has it with `wanted` type.
    const JsonValue* Member(const std::string& name, Type wanted) const;
    const std::string* String(const std::string& name) const;
    // A number without fraction or exponent that a long long holds.
    std::optional<long long> Whole() const;
};

// What a reader accepts beyond RFC 8259's grammar, or refuses within it.
struct JsonRules {
    int deepest = 32;  // levels of arrays and objects
    // Numbers only without fraction or exponent, and within a long long.
    bool wholeNumbersOnly = false;
    // \udc80 to \udcff as the bytes 0x80 to 0xFF (what JsonBytes writes),
    // not a lone low surrogate.
    bool byteEscapes = false;
};

// The document `text`, or why it is not one: "line 3, column 14: ..." (both
// from 1, a column counted in bytes). Never reads past `text`, never throws
// but std::bad_alloc.
std::variant<JsonValue, std::string> ReadJson(std::string_view text, const JsonRules& rules = {});

// The document, or nothing when ReadJson refuses it.
std::optional<JsonValue> ParseJson(std::string_view text, const JsonRules& rules = {});

}  // namespace varnock::console
