#include "web/web_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace varnock::web {
namespace {

WebCommandLine Parse(std::vector<std::string_view> arguments) {
    return ParseWebCommandLine(arguments);
}

std::string Refusal(std::vector<std::string_view> arguments) {
    try {
        Parse(std::move(arguments));
    } catch (const WebUsageError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(WebCommandLine, ReadsEveryOptionInBothForms) {
    const WebCommandLine line =
        Parse({"--state", "a.json", "--state=b.json", "--state-dir", "/var/lib/varnock-watch",
               "--log=a.jsonl", "--log", "b.jsonl", "--names", "names", "--vendor-file=oui.txt",
               "--listen", "127.0.0.1:1", "--listen=[::1]:2", "--web-config", "web.yml"});
    EXPECT_EQ(line.stateFiles, (std::vector<std::filesystem::path>{"a.json", "b.json"}));
    EXPECT_EQ(line.stateDirectory, std::filesystem::path("/var/lib/varnock-watch"));
    EXPECT_EQ(line.logFiles, (std::vector<std::filesystem::path>{"a.jsonl", "b.jsonl"}));
    EXPECT_EQ(line.namesFile, std::filesystem::path("names"));
    EXPECT_EQ(line.vendorFile, std::filesystem::path("oui.txt"));
    EXPECT_EQ(line.listen, (std::vector<std::string>{"127.0.0.1:1", "[::1]:2"}));
    EXPECT_EQ(line.webConfig, std::filesystem::path("web.yml"));
}

TEST(WebCommandLine, HelpAndVersionNeedNothingElse) {
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"-V"}).version);
    EXPECT_TRUE(Parse({"--state", "x", "--version", "--bogus"}).version);
}

TEST(WebCommandLine, RefusesWhatItCannotCarryOut) {
    EXPECT_EQ(Refusal({}), "no record to serve: give --state FILE or --state-dir DIR");
    EXPECT_EQ(Refusal({"--listen", "127.0.0.1:1"}),
              "no record to serve: give --state FILE or --state-dir DIR");
    EXPECT_EQ(Refusal({"--state", "x", "--port", "1"}), "\"--port\": unknown option");
    EXPECT_EQ(Refusal({"--state"}), "--state needs a value");
    EXPECT_EQ(Refusal({"--state", "x", "--names", "a", "--names=b"}), "--names is given twice");
}

}  // namespace
}  // namespace varnock::web
