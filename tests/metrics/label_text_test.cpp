// Label values as the text exposition format carries them.
#include "console/metrics/label_text.h"

#include <gtest/gtest.h>

namespace varnock::console {
namespace {

TEST(LabelText, EscapesWhatWouldEndOrBreakTheValue) {
    EXPECT_EQ(LabelValue("plain name-1.lan"), "plain name-1.lan");
    EXPECT_EQ(LabelValue("C:\\share"), "C:\\\\share");
    EXPECT_EQ(LabelValue("say \"hi\""), "say \\\"hi\\\"");
    EXPECT_EQ(LabelValue("two\nlines"), "two\\nlines");
    // An escape already in the text is text, escaped again.
    EXPECT_EQ(LabelValue("\\n"), "\\\\n");
    // Other control characters are allowed as they are.
    EXPECT_EQ(LabelValue("tab\there"), "tab\there");
}

TEST(LabelText, KeepsValidUtf8AndReplacesEachBadByte) {
    // One to four bytes, and the edges of what is allowed.
    const std::string valid =
        "a \xC3\xA9 \xE2\x98\x95 \xF0\x9F\x96\xA8 \xED\x9F\xBF \xF4\x8F\xBF\xBF";
    EXPECT_EQ(ValidUtf8(valid), valid);
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
    }
    // A bad byte does not swallow the valid sequence after it.
    EXPECT_EQ(ValidUtf8("\xC3\xC3\xA9"), replacement + "\xC3\xA9");
    // Escaping happens on the valid text: a bad byte before a quote.
    EXPECT_EQ(LabelValue("\xFF\""), replacement + "\\\"");
}

}  // namespace
}  // namespace varnock::console
