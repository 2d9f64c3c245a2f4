// Well-formed UTF-8: what is kept, what each bad byte becomes.

#include "console/text/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace varnock::console {
namespace {

TEST(Utf8Text, KeepsValidUtf8AndReplacesEachBadByte) {
    // One to four bytes, and the edges of what is allowed.
    const std::string valid =
        "a \xC3\xA9 \xE2\x98\x95 \xF0\x9F\x96\xA8 \xED\x9F\xBF \xF4\x8F\xBF\xBF";
    EXPECT_EQ(ValidUtf8(valid), valid);
    EXPECT_TRUE(IsUtf8(valid));
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        std::string bytes;
        int replaced;  // U+FFFD in its place
    } bad[] = {
        {"\x80", 1},              // a continuation with no lead
        {"\xC0\xAF", 2},          // an overlong "/"
        {"\xE0\x80\xAF", 3},      // another overlong
        {"\xED\xA0\x80", 3},      // a surrogate
        {"\xF4\x90\x80\x80", 4},  // past U+10FFFF
        {"\xF5\x80\x80\x80", 4},  // a lead that never starts a sequence
        {"\xFF", 1},
        {"\xE2\x98", 2},  // cut short at the end
    };
    for (const auto& [bytes, replaced] : bad) {
        std::string expected = "<";
        for (int i = 0; i < replaced; ++i) {
            expected += replacement;
        }
        expected += ">";
        EXPECT_EQ(ValidUtf8("<" + bytes + ">"), expected) << testing::PrintToString(bytes);
        EXPECT_FALSE(IsUtf8("<" + bytes + ">")) << testing::PrintToString(bytes);
    }
    // A bad byte does not swallow the valid sequence after it.
    EXPECT_EQ(ValidUtf8("\xC3\xC3\xA9"), replacement + "\xC3\xA9");
    EXPECT_EQ(Utf8SequenceLength(""), 0u);
}

}  // namespace
}  // namespace varnock::console
