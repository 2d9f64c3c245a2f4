#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnock::web {

// A JSON value as read: enough to read the watch's event lines (and for the
// tests, the site's own answers back). Numbers keep their text.
struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
    Type type = Type::kNull;
    bool boolean = false;
    std::string text;  // a string's value, a number's text
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;  // a repeated name: the last wins

    // The member `name` when this is an object that has it with `wanted` type.
    const JsonValue* Member(const std::string& name, Type wanted) const;
    const std::string* String(const std::string& name) const;
};

// The document `text`, or nothing when it is not JSON (RFC 8259), nested
// deeper than 32 levels, or has text after its end. Never reads past `text`,
// never throws but std::bad_alloc.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace varnock::web
