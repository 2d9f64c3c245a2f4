// The whole command on a scripted network: lines, JSON, vendors, statuses,
// progress.
#include "console/lookups/lookup_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "console/command/command_line.h"
#include "console/lookups/result_text.h"
#include "console/text/terminal_text.h"
#include "lookup/raw_method.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock::console {
namespace {

using std::chrono::milliseconds;
using testing::Answer;
using testing::Fails;

class LookupCommand : public ::testing::Test {
protected:
    LookupCommand() {
        system_.makeEngine = [this](ResolverMode) { return network_.MakeEngine(); };
        system_.targets.resolveName = [](const std::string& name) {
            std::vector<IpAddress> addresses;
            if (name == "labhost") {
                addresses = {
                    IpAddress::V4(0x0B02'00C0),
                    IpAddress::V6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0b})};
            }
            return addresses;
        };
        system_.targets.interfaceIndexNamed = [](const std::string& name) {
            return name == "c0" ? std::optional<std::uint32_t>(4) : std::nullopt;
        };
        system_.interfaceNameOf = [](std::uint32_t index) {
            return index == 4 ? std::string("c0") : std::string();
        };
        system_.attachedNetworks = [](std::uint32_t) {
            return std::vector<AttachedNetwork>{{4, 0x0102'00C0, 30}};
        };
        vendorList_ =
            (std::filesystem::temp_directory_path() /
             ("varnock-oui-" +
              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
              ".txt"))
                .string();
        std::filesystem::remove(vendorList_);
        system_.vendors = {{vendorList_}, {}, {}};
        system_.limits.startInterval = {};
        // Universally administered: assigned by the IEEE, named by a list.
        network_.replies["192.0.2.2"] = Answer({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
        network_.replies["192.0.2.11"] = Answer({0x08, 0xBC, 0xDE, 0x00, 0x00, 0x11});
        network_.replies["198.51.100.2"] = Fails(arp_status::kNotOnLink);
        network_.replies["192.0.2.255"] = Fails(arp_status::kNotUnicast);
    }
    ~LookupCommand() override { std::filesystem::remove(vendorList_); }

    int Run(std::vector<std::string_view> arguments) {
        out_.str("");
        err_.str("");
        return RunLookupCommand(arguments, out_, err_, system_);
    }

    testing::ScriptedNeighbours network_;
    std::string vendorList_;  // one file per test: ctest runs the cases side by side
    CommandSystem system_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(LookupCommand, OneLinePerAddressInOrderWithItsReason) {
    EXPECT_EQ(Run({"192.0.2.11", "192.0.2.2"}), kExitAnswered);
    EXPECT_EQ(out_.str(),
              "192.0.2.11       08:BC:DE:00:00:11\n192.0.2.2        00:1A:2B:3C:4D:5E\n");
    EXPECT_EQ(Run({"--delimiter", "", "192.0.2.2", "192.0.2.77", "198.51.100.2", "192.0.2.255",
                   "0.0.0.0"}),
              kExitNoAnswer);
    EXPECT_EQ(out_.str(),
              "192.0.2.2        001A2B3C4D5E\n"
              "192.0.2.77       no answer\n"
              "198.51.100.2     not on a directly attached network\n"
              "192.0.2.255      broadcast or multicast address\n"
              "0.0.0.0          not an address to ask for\n");
    EXPECT_EQ(err_.str(), "");
    // 0.0.0.0 is refused before any request, as in the window.
    EXPECT_EQ(network_.CallCount(), 6u);
}

TEST_F(LookupCommand, JsonArrayLinesAndCsvCarryTheSameFields) {
    EXPECT_EQ(Run({"--json", "--delimiter", "\"\\", "192.0.2.2", "192.0.2.77"}), kExitNoAnswer);
    const std::string answered =
        R"({"target": "192.0.2.2", "address": "192.0.2.2", "hardware_address": )"
        R"("00\"\\1A\"\\2B\"\\3C\"\\4D\"\\5E", "vendor": null, "locally_administered": false, )"
        R"("reason": null, "interface": null, "from_cache": false, "confirmed": true, )"
        R"("state": null, "seconds_since_confirmed": null, "last_known_hardware_address": null, )"
        R"("also_answers_for": null})";
    const std::string unanswered =
        R"({"target": "192.0.2.77", "address": "192.0.2.77", "hardware_address": null, )"
        R"("vendor": null, "locally_administered": null, "reason": "no answer", )"
        R"("interface": null, "from_cache": null, "confirmed": null, "state": null, )"
        R"("seconds_since_confirmed": null, "last_known_hardware_address": null, )"
        R"("also_answers_for": null})";
    EXPECT_EQ(out_.str(), "[\n  " + answered + ",\n  " + unanswered + "\n]\n");
    EXPECT_EQ(Run({"--jsonl", "--delimiter", "\"\\", "192.0.2.2", "192.0.2.77"}), kExitNoAnswer);
    EXPECT_EQ(out_.str(), answered + "\n" + unanswered + "\n");

    // CSV: quoted where a field holds a comma, a quote or a line break.
    network_.replies["192.0.2.3"] = Answer({0x02, 0x00, 0x00, 0x00, 0x00, 0x03});
    EXPECT_EQ(Run({"--csv", "--delimiter", ",\"", "192.0.2.3", "192.0.2.0/31"}), kExitNoAnswer);
    EXPECT_EQ(
        out_.str(),
        "target,address,hardware_address,vendor,locally_administered,reason,interface,"
        "from_cache,confirmed,state,seconds_since_confirmed,last_known_hardware_address,"
        "also_answers_for\r\n"
        "192.0.2.3,192.0.2.3,\"02,\"\"00,\"\"00,\"\"00,\"\"00,\"\"03\",,true,,,false,true,,,,\r\n"
        "192.0.2.0/31,192.0.2.0,,,,no answer,,,,,,,\r\n"
        "192.0.2.0/31,192.0.2.1,,,,no answer,,,,,,,\r\n");

    // An old address nobody confirmed in time is no answer, and not "no
    // answer" either: the reason names it, and a field of its own holds it.
    network_.replies["192.0.2.4"] = Fails(arp_status::kNotConfirmed);
    network_.replies["192.0.2.4"].bytes = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(Run({"--jsonl", "--timeout", "1500", "192.0.2.4"}), kExitNoAnswer);
    EXPECT_NE(out_.str().find(R"("reason": "not confirmed within 1.5 s; last known )"
                              R"(02:1A:2B:3C:4D:5E", )"),
              std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find(R"("last_known_hardware_address": "02:1A:2B:3C:4D:5E", )"),
              std::string::npos)
        << out_.str();
}

TEST_F(LookupCommand, VendorsComeFromTheListsWhenThereAreAny) {
    EXPECT_EQ(Run({"192.0.2.2"}), kExitAnswered);
    EXPECT_EQ(out_.str(), "192.0.2.2        00:1A:2B:3C:4D:5E\n");

    std::ofstream(vendorList_) << "OUI/MA-L                                  Organization\r\n\r\n"
                                  "00-1A-2B   (hex)\t\tLab \"Test\" Ltd\x1b[31m\r\n"
                                  "001A2B     (base 16)\t\tLab \"Test\" Ltd\x1b[31m\r\n"
                                  "08-bc-de   (hex)\t\tLower Case Works\r\n";
    // The user's list wins over the system's; a locally administered
    // address is marked so.
    const std::string mine = vendorList_ + ".mine";
    std::ofstream(mine) << "08:BC:DE:0\tMine, 28 bits\n";
    network_.replies["192.0.2.3"] = Answer({0x02, 0x00, 0x00, 0x00, 0x00, 0x03});
    EXPECT_EQ(Run({"--vendor-file", mine, "192.0.2.2", "192.0.2.11", "192.0.2.3"}), kExitAnswered);
    std::filesystem::remove(mine);
    EXPECT_EQ(out_.str(),
              "192.0.2.2        00:1A:2B:3C:4D:5E  Lab \"Test\" Ltd [31m\n"
              "192.0.2.11       08:BC:DE:00:00:11  Mine, 28 bits\n"
              "192.0.2.3        02:00:00:00:00:03  (locally administered)\n");
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(Run({"--vendor-file", mine, "192.0.2.2"}), kExitAnswered);
    EXPECT_EQ(err_.str(),
              "varnock-cli: vendor list " + Quoted(mine) + " skipped: No such file or directory\n");
}

TEST_F(LookupCommand, TimeoutReachesEveryRequest) {
    Run({"--timeout", "250", "192.0.2.0/30"});
    ASSERT_EQ(network_.CallCount(), 2u);
    for (const auto& call : network_.Calls()) {
        EXPECT_EQ(call.maxWait, milliseconds{250});
    }
    Run({"192.0.2.2"});
    EXPECT_EQ(network_.Calls().back().maxWait, std::nullopt);
}

TEST_F(LookupCommand, OutputThatCannotBeWrittenIsAnErrorNeverSuccess) {
    // A stream whose writes all fail, as on a full disk or a closed pipe.
    struct Refusing : std::streambuf {
        int_type overflow(int_type) override { return traits_type::eof(); }
    } refusing;
    std::ostream full(&refusing);
    EXPECT_EQ(RunLookupCommand(std::vector<std::string_view>{"192.0.2.2"}, full, err_, system_),
              kExitSystemError);
    EXPECT_EQ(err_.str(), "varnock-cli: cannot write the results\n");
}

TEST_F(LookupCommand, MistakesExitTwoWithOneLineAndAskNothing) {
    const std::pair<std::vector<std::string_view>, std::string> cases[] = {
        {{""}, "varnock-cli: \"\": not an IPv4 address\n"},
        {{"192.0.2.1", "abc"}, "varnock-cli: \"abc\": no such host\n"},
        {{"-I", "eth9", "192.0.2.1"}, "varnock-cli: -I \"eth9\": no such interface\n"},
        {{"-f", "/nonexistent/targets"},
         "varnock-cli: -f \"/nonexistent/targets\": cannot be read (No such file or "
         "directory)\n"},
        {{"192.0.2.0/33"},
         "varnock-cli: \"192.0.2.0/33\": the prefix length must be a number from 0 to 32\n"},
        {{"198.0.0.0/8"},
         "varnock-cli: \"198.0.0.0/8\": network too large (at most a /16, 65534 addresses)\n"},
        {{"--bogus", "192.0.2.1"}, "varnock-cli: \"--bogus\": unknown option\n"},
        {{"--json"}, std::string(kUsageLine) + "\n"},
    };
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(Run(arguments), kExitUsage);
        EXPECT_EQ(err_.str(), message);
        EXPECT_EQ(out_.str(), "");
    }
    EXPECT_EQ(Run({"--version", "abc"}), kExitAnswered);
    EXPECT_EQ(out_.str(), "varnock-cli " VARNOCK_VERSION_TEXT
                          "\nVendor lists: none found (Debian's ieee-data package "
                          "has them).\n");
    EXPECT_EQ(Run({"--help"}), kExitAnswered);
    EXPECT_EQ(out_.str().rfind(kUsageLine, 0), 0u);
    EXPECT_TRUE(network_.Calls().empty());
}

// What a terminal shows of `text`: a carriage return starts the line over.
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> lines{""};
    std::size_t column = 0;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            if (c == '\n') {
                lines.emplace_back();
            }
            column = 0;
            continue;
        }
        auto& line = lines.back();
        line.resize(std::max(line.size(), column + 1), ' ');
        line[column++] = c;
    }
    for (auto& line : lines) {
        line.erase(line.find_last_not_of(' ') + 1);
    }
    return lines;
}

TEST_F(LookupCommand, ProgressOnlyOnATerminalAndErasedBeforeEachResult) {
    EXPECT_EQ(Run({"192.0.2.0/29"}), kExitNoAnswer);
    EXPECT_EQ(err_.str(), "");
    system_.errorIsTerminal = true;
    EXPECT_EQ(Run({"192.0.2.2"}), kExitAnswered);
    EXPECT_EQ(err_.str(), "") << "one address needs no progress";

    // One at a time, 192.0.2.3 holds the run up after two results; both
    // streams on one terminal, as usual.
    network_.replies["192.0.2.3"] = Fails(arp_status::kNoAnswer, milliseconds{250});
    system_.limits.maxInFlight = 1;
    out_.str("");
    EXPECT_EQ(RunLookupCommand(std::vector<std::string_view>{"192.0.2.0/29"}, out_, out_, system_),
              kExitNoAnswer);
    EXPECT_NE(out_.str().find("\rvarnock-cli: 2 of 6 addresses looked up, 1 answered"),
              std::string::npos)
        << out_.str();
    const auto screen = Screen(out_.str());
    ASSERT_EQ(screen.size(), 7u) << out_.str();
    EXPECT_EQ(screen[1], "192.0.2.2        00:1A:2B:3C:4D:5E");
    EXPECT_EQ(screen[2], "192.0.2.3        no answer");
    EXPECT_EQ(screen[6], "");
}

TEST_F(LookupCommand, MethodChosenOpenlyAndPrivilegeGoneBeforeAnyInput) {
    // What the run did, in order: the raw method opened (and whether the
    // system had it), privileges given up, targets read, the kernel's
    // method made.
    std::vector<std::string> steps;
    bool rawThere = true;
    system_.openRawEngine = [&](std::uint32_t perSecond) -> std::unique_ptr<NeighbourEngine> {
        steps.push_back("raw " + std::to_string(perSecond));
        return rawThere ? network_.MakeEngine() : nullptr;
    };
    system_.dropPrivileges = [&] { steps.push_back("drop"); };
    system_.makeEngine = [&](ResolverMode) {
        steps.push_back("kernel");
        return network_.MakeEngine();
    };
    system_.openInput = [&](const std::string&) -> std::unique_ptr<InputFile> {
        steps.push_back("input");
        throw std::system_error(ENOENT, std::generic_category());
    };
    struct Case {
        std::vector<std::string_view> arguments;
        bool rawThere;
        int status;
        std::vector<std::string> steps;
    };
    const std::string rate = std::to_string(kDefaultRawRate);
    const std::vector<Case> cases = {
        {{"192.0.2.2"}, true, kExitAnswered, {"raw " + rate, "drop"}},
        {{"192.0.2.2"}, false, kExitAnswered, {"raw " + rate, "drop", "kernel"}},
        {{"--method", "raw", "--rate", "3000", "192.0.2.2"},
         true,
         kExitAnswered,
         {"raw 3000", "drop"}},
        {{"--method", "raw", "192.0.2.2"}, false, kExitUsage, {"raw " + rate, "drop"}},
        {{"--method", "kernel", "192.0.2.2"}, true, kExitAnswered, {"drop", "kernel"}},
        {{"--method", "raw", "-f", "list"}, true, kExitUsage, {"raw " + rate, "drop", "input"}},
        {{"--cached", "192.0.2.2"}, true, kExitAnswered, {"drop", "kernel"}},
        {{"--method", "raw", "--cached", "192.0.2.2"}, true, kExitUsage, {}},
        {{"--method", "raw", "--watch"}, true, kExitUsage, {}},
        {{"--method", "kernel", "--rate", "10", "192.0.2.2"}, true, kExitUsage, {}},
    };
    for (const Case& c : cases) {
        steps.clear();
        rawThere = c.rawThere;
        EXPECT_EQ(Run(c.arguments), c.status) << c.arguments.front() << ' ' << err_.str();
        EXPECT_EQ(steps, c.steps) << c.arguments.front();
    }
    // Refused, it says how an administrator grants the capability.
    rawThere = false;
    Run({"--method", "raw", "192.0.2.2"});
    EXPECT_NE(err_.str().find("setcap cap_net_raw+ep"), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
    // Where the system has none, it says so instead.
    system_.openRawEngine = nullptr;
    EXPECT_EQ(Run({"--method", "raw", "192.0.2.2"}), kExitUsage);
    EXPECT_NE(err_.str().find("no raw method"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"192.0.2.2"}), kExitAnswered);
}

}  // namespace
}  // namespace varnock::console
