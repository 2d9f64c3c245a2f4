// The JSON reader the record file, the event lines (and the web's tests) go
// through: what it accepts and what it refuses.

#include "console/text/json_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace varnock::console {
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

TEST(JsonValue, TakesByteEscapesAndWholeNumbersOnlyByItsRules) {
    const JsonRules record{.deepest = 16, .wholeNumbersOnly = true, .byteEscapes = true};
    EXPECT_FALSE(ParseJson("\"a\\udcffb\""));
    EXPECT_EQ(ParseJson("\"a\\udcffb\"", record)->text,
              "a\xff"
              "b");
    EXPECT_EQ(ParseJson("1.5e3")->text, "1.5e3");
    EXPECT_EQ(std::get<std::string>(ReadJson("[1,\n 1.5]", record)),
              "line 2, column 2: not a value this file holds");
    EXPECT_EQ(ParseJson("-9223372036854775808", record)->Whole(), INT64_MIN);
    EXPECT_EQ(std::get<std::string>(ReadJson("[9223372036854775808]", record)),
              "line 1, column 2: a number too large");
}

}  // namespace
}  // namespace varnock::console
