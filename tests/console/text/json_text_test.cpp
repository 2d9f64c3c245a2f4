// The JSON strings every writer makes.
#include "console/text/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace varnock::console {
namespace {

TEST(JsonString, EscapesControlsKeepsUtf8AndReplacesTheRest) {
    EXPECT_EQ(JsonString(std::string("\t\n\x01\x1f\x7f", 5)), R"("\t\n\u0001\u001f)"
                                                              "\x7f\"");
    // UTF-8 is kept; stray bytes, overlong forms and surrogates are replaced.
    EXPECT_EQ(JsonString("M\xC3\xBCller \xF0\x9F\x98\x80"), "\"M\xC3\xBCller \xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString("M\xFC \xC0\xAF \xED\xA0\x80"),
              R"("M\ufffd \ufffd\ufffd \ufffd\ufffd\ufffd")");
}

}  // namespace
}  // namespace varnock::console
