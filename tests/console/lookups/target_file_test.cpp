// Target files (-f) read a line at a time: what is skipped, which line is
// named when one breaks a rule, and that reading stops right there.
#include "console/lookups/target_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "console/command/usage_error.h"
#include "console/text/address_text.h"
#include "tests/support/text_input.h"

namespace varnock::console {
namespace {

const TargetSystem kNoNames{[](const std::string&) { return std::vector<IpAddress>{}; },
                            [](const std::string&) { return std::optional<std::uint32_t>{}; }};

// The addresses read, one a line, or the message of the refusal.
std::string Outcome(testing::TextInput input) {
    std::vector<Target> targets;
    try {
        AppendTargetFile(input, "t.txt", kNoNames, targets);
    } catch (const UsageError& mistake) {
        return mistake.what();
    }
    std::string text;
    for (const Target& target : targets) {
        text += AddressText(target.address, {}) + '\n';
    }
    return text;
}

TEST(TargetFile, EachLineReadOrRefusedByNumber) {
    const std::string longComment = "# " + std::string(100'000, 'x') + '\n';
    const struct {
        std::string text;
        std::string outcome;
    } cases[] = {
        {"# hosts\r\n\r\n  192.0.2.1\t\r\n192.0.2.2-3\n", "192.0.2.1\n192.0.2.2\n192.0.2.3\n"},
        {"192.0.2.1", "192.0.2.1\n"},
        {longComment + "192.0.2.1\n", "192.0.2.1\n"},
        {"\n192.0.2.1\n" + std::string(1025, '1'),
         "-f \"t.txt\", line 3: longer than 1024 bytes, and no target is"},
        {"192.0.2.1\n" + std::string(1025, ' ') + '\n',
         "-f \"t.txt\", line 2: longer than 1024 bytes, and no target is"},
        {"192.0.2.1\n\n192.0.2.300\n",
         "-f \"t.txt\", line 3: \"192.0.2.300\": not an IPv4 address"},
        {std::string("192.0.2.1\0junk\n", 15),
         "-f \"t.txt\", line 1: \"192.0.2.1\\x00junk\": not an IPv4 address"},
        {"198.18.0.0/16\n192.0.2.1\n192.0.2.2\n192.0.2.3\n",
         "-f \"t.txt\", line 4: \"192.0.2.3\": too many addresses (at most 65536 in one run)"},
    };
    for (const auto& [text, outcome] : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        // Read in pieces of every size around the buffer's and a line's.
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1 << 20}}) {
            EXPECT_EQ(Outcome(testing::TextInput(text, piece)), outcome);
        }
        // A refusal reads no further than its line: what would fail after
        // it is never read.
        if (outcome.starts_with("-f ")) {
            EXPECT_EQ(Outcome(testing::TextInput(text, 7, EIO)), outcome);
        }
    }
    EXPECT_EQ(Outcome(testing::TextInput("192.0.2.1\n", 7, EISDIR)),
              "-f \"t.txt\": cannot be read (Is a directory)");
}

}  // namespace
}  // namespace varnock::console
