// The JSON reader the event lines (and these tests) go through: what it
// accepts and what it refuses.

#include "web/site/json_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnock::web {
namespace {

TEST(JsonValue, ReadsEveryKindOfValue) {
    const auto json = ParseJson(
        R"( {"a": [1, -2.5e3, true, false, null], "b": {"c": "\u00e9\ud83d\ude00\n\"/"}, "a2": 0} )");
    ASSERT_TRUE(json);
    const JsonValue& a = *json->Member("a", JsonValue::Type::kArray);
    ASSERT_EQ(a.items.size(), 5u);
    EXPECT_EQ(a.items[0].text, "1");
    EXPECT_EQ(a.items[1].text, "-2.5e3");
    EXPECT_TRUE(a.items[2].boolean);
    EXPECT_EQ(a.items[3].type, JsonValue::Type::kBool);
    EXPECT_FALSE(a.items[3].boolean);
    EXPECT_EQ(a.items[4].type, JsonValue::Type::kNull);
    EXPECT_EQ(*json->Member("b", JsonValue::Type::kObject)->String("c"),
              "\xC3\xA9\xF0\x9F\x98\x80\n\"/");
    EXPECT_EQ(json->String("a"), nullptr);  // there, but not a string
}

TEST(JsonValue, RefusesWhatIsNotJson) {
    const std::vector<std::string> bad{
        "",
        "{",
        "{\"a\" 1}",
        "{\"a\": 1,}",
        "[1 2]",
        "01",
        "1.",
        "-",
        "1e",
        "tru",
        "\"a",
        "\"\\x\"",
        "\"\\ud800\"",
        "\"\\udc00\"",
        "\"a\nb\"",
        "{} {}",
        "{'a': 1}",
        std::string(40, '[') + std::string(40, ']')};  // deeper than 32
    for (const std::string& text : bad) {
        EXPECT_FALSE(ParseJson(text)) << text;
    }
    EXPECT_TRUE(ParseJson(std::string(30, '[') + std::string(30, ']')));
}

}  // namespace
}  // namespace varnock::web
