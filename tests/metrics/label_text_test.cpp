// Label values as the text exposition format carries them.
#include "console/metrics/label_text.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(LabelText, EscapesTheValidText) {
    const std::string replacement = "\xEF\xBF\xBD";
    // Escaping happens on the valid text: a bad byte before a quote.
    EXPECT_EQ(LabelValue("\xFF\""), replacement + "\\\"");
}

}  // namespace
}  // namespace varnock::console
