// The command line: options, address texts and networks, and their mistakes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "console/command/command_line.h"
#include "console/command/usage_error.h"
#include "console/lookups/targets.h"
#include "console/text/address_text.h"

namespace varnock::console {
namespace {

using Texts = std::vector<std::string>;

// A resolver that knows one name, and a machine with one interface, c0 (4).
const TargetSystem kLab{[](const std::string& name) {
                            std::vector<IpAddress> addresses;
                            if (name == "labhost") {
                                addresses = {IpAddress::V4(0x0B02'00C0),
                                             IpAddress::V6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0,
                                                            0, 0, 0, 0, 0, 0, 2})};
                            }
                            return addresses;
                        },
                        [](const std::string& name) {
                            return name == "c0" ? std::optional<std::uint32_t>(4) : std::nullopt;
                        }};

// Each target as "address" or "address (name)", a link-local one with its
// interface index.
Texts Dotted(const Texts& arguments) {
    Texts texts;
    for (const Target& target : ExpandTargets(arguments, kLab)) {
        std::string text =
            AddressText(target.address, [](std::uint32_t index) { return std::to_string(index); });
        texts.push_back(target.name.empty() ? text : text + " (" + target.name + ')');
    }
    return texts;
}

// The message of the UsageError `read` raises; empty when none.
template <typename Read>
std::string Refusal(Read read) {
    try {
        read();
    } catch (const UsageError& mistake) {
        return mistake.what();
    }
    return "";
}
std::string Refusal(const Texts& arguments) {
    return Refusal([&] { ExpandTargets(arguments, kLab); });
}

TEST(Arguments, AddressesAreReadAsTheWindowReadsThem) {
    EXPECT_EQ(Dotted({"192.0.514", "0.0.0.0", "255.255.255.255"}),
              (Texts{"192.0.2.2", "0.0.0.0", "255.255.255.255"}));
    // inet_addr reads each of these as 255.255.255.255, as the window sends
    // it: the address, in any form, never a host name.
    for (const std::string text :
         {"0xffffffff", "4294967295", "0XFFFFFFFF", "037777777777", "0377.0377.0377.0377",
          "255.255.65535", "255.0xffffff", "255.255.255.255 junk"}) {
        EXPECT_EQ(Dotted({text}), Texts{"255.255.255.255"}) << text;
    }
    // Numbers in inet_addr's forms, or not a name at all: an address that
    // cannot be read, never handed to the resolver.
    for (const std::string& text :
         Texts{"", "192.0.2.256", "1.2.3.4junk?", "a b", "4294967296", "0x100000000", "0xfffffffff",
               "256.255.65535", "255.255.255.255.255", "0x1.0x2.0x3.0x4.0x5", "08.1", "0x",
               std::string("192.0.2.1\0", 10)}) {
        EXPECT_EQ(Refusal(Texts{text}), Quoted(text) + ": not an IPv4 address");
    }
}

TEST(Arguments, IPv6RangesAndNamesInTheOrderGiven) {
    EXPECT_EQ(Dotted({"2001:db8::2", "fe80::1%c0", "192.0.2.10-12", "192.0.2.254-192.0.3.1",
                      "2001:db8::/127", "labhost"}),
              (Texts{"2001:db8::2", "fe80::1%4", "192.0.2.10", "192.0.2.11", "192.0.2.12",
                     "192.0.2.254", "192.0.2.255", "192.0.3.0", "192.0.3.1", "2001:db8::",
                     "2001:db8::1", "192.0.2.11 (labhost)", "2001:db8::2 (labhost)"}));
    const auto slash120 = Dotted({"2001:db8::1:0/120"});
    ASSERT_EQ(slash120.size(), 255u);  // all but the subnet-router anycast address
    EXPECT_EQ(slash120.front(), "2001:db8::1:1");
    EXPECT_EQ(slash120.back(), "2001:db8::1:ff");
}

TEST(Arguments, BadIPv6RangesNamesAndInterfacesAreRefusedByName) {
    const std::pair<std::string, std::string> cases[] = {
        {"2001:db8::zz", "not an IPv6 address"},
        {"fe80::1%eth9", "no interface named \"eth9\""},
        {"2001:db8::1%c0", "only a link-local address takes an interface"},
        {"2001:db8::/119", "network too large (at most a /120)"},
        {"2001:db8::/129", "the prefix length must be a number from 0 to 128"},
        {"192.0.2.20-10", "the range ends before it starts"},
        {"192.0.2.10-256", "not a range (write it as 192.0.2.10-20)"},
        {"192.0.2.10-010", "not a range (write it as 192.0.2.10-20)"},
        {"unknownhost", "no such host"},
    };
    for (const auto& [text, reason] : cases) {
        EXPECT_EQ(Refusal(Texts{text}), '"' + text + "\": " + reason);
    }
}

TEST(Arguments, NetworksStandForTheirHostAddressesInOrder) {
    const auto slash24 = Dotted({"192.0.2.0/24"});
    ASSERT_EQ(slash24.size(), 254u);
    EXPECT_EQ(slash24.front(), "192.0.2.1");
    EXPECT_EQ(slash24.back(), "192.0.2.254");
    // Host bits ignored; a /31 has no network or broadcast address.
    EXPECT_EQ(
        Dotted({"192.0.2.9", "192.0.2.7/30", "192.0.2.8/31", "192.0.2.9/32"}),
        (Texts{"192.0.2.9", "192.0.2.5", "192.0.2.6", "192.0.2.8", "192.0.2.9", "192.0.2.9"}));
    const auto slash16 = Dotted({"198.18.30.40/16"});
    ASSERT_EQ(slash16.size(), 65534u);
    EXPECT_EQ(slash16[255], "198.18.1.0");
    EXPECT_EQ(slash16.back(), "198.18.255.254");
}

TEST(Arguments, BadNetworksAreRefusedByName) {
    for (const std::string text : {"192.0.2.0/33", "192.0.2.0/", "192.0.2.0/24x", "192.0.2.0/-1",
                                   "192.0.2.0/024", "192.0.2.0/24/24"}) {
        EXPECT_EQ(Refusal(Texts{text}),
                  '"' + text + "\": the prefix length must be a number from 0 to 32");
    }
    // Written in full: inet_addr would read 198.18 as 198.0.0.18.
    // Nor with leading zeros: inet_addr would read 192.000.002.010 as .8.
    for (const std::string text :
         {"/24", "abc/24", "198.18/16", "192.0.2.0.0/24", "0x7f.0.0.0/24", " 192.0.2.0/24",
          "192.0.2.256/24", "192.000.002.010/32", "010.0.2.0/24"}) {
        EXPECT_EQ(Refusal(Texts{text}),
                  '"' + text + "\": not a network (write it as 192.0.2.0/24)");
    }
    EXPECT_EQ(Refusal(Texts{"198.18.0.0/15"}),
              "\"198.18.0.0/15\": network too large (at most a /16, 65534 addresses)");
    EXPECT_EQ(Dotted({"198.18.0.0/16", "192.0.2.1", "192.0.2.2"}).size(), kMaxAddresses);
    EXPECT_EQ(Refusal(Texts{"192.0.2.1", "198.18.0.0/16", "192.0.2.0/30", "abc"}),
              "\"192.0.2.0/30\": too many addresses (at most 65536 in one run)");
}

TEST(Arguments, OptionsComeAnywhereBeforeDoubleDash) {
    std::vector<std::string_view> words = {"192.0.2.1",     "--json", "--delimiter", "-",
                                           "--timeout=250", "--",     "--help",      "-x"};
    const auto line = ReadCommandLine(words);
    EXPECT_EQ(line.addresses, (Texts{"192.0.2.1", "--help", "-x"}));
    EXPECT_EQ(line.format, OutputFormat::kJson);
    EXPECT_EQ(line.delimiter, "-");
    EXPECT_EQ(line.timeout, std::chrono::milliseconds{250});
    EXPECT_FALSE(line.help);
    words = {"--delimiter=", "--timeout", "3600000", "-"};
    EXPECT_EQ(ReadCommandLine(words).delimiter, "");
    EXPECT_EQ(ReadCommandLine(words).addresses, Texts{"-"});
    words = {"192.0.2.1", "-V", "--bogus"};
    EXPECT_TRUE(ReadCommandLine(words).version);
}

TEST(Arguments, OptionMistakesAreNamed) {
    const auto refusal = [](std::vector<std::string_view> words) {
        return Refusal([&] { ReadCommandLine(words); });
    };
    EXPECT_EQ(refusal({"--jsonx"}), "\"--jsonx\": unknown option");
    EXPECT_EQ(refusal({"192.0.2.1", "--delimiter"}), "--delimiter needs a value");
    for (const std::string_view text : {"0", "-5", "10ms", "", "3600001", "99999999999999999999"}) {
        EXPECT_EQ(refusal({"--timeout", text}),
                  "--timeout \"" + std::string(text) +
                      "\": not a whole number of milliseconds from 1 to 3600000");
    }
    for (const std::string_view text : {"Raw", "", "kernel,raw"}) {
        EXPECT_EQ(refusal({"--method", text}),
                  "--method \"" + std::string(text) + "\": not one of auto, kernel, raw");
    }
    for (const std::string_view text : {"0", "100001", "1.5", "", "5k"}) {
        EXPECT_EQ(refusal({"--rate", text}),
                  "--rate \"" + std::string(text) +
                      "\": not a whole number of requests a second from 1 to 100000");
    }
    EXPECT_EQ(ReadCommandLine(std::vector<std::string_view>{"--rate=100000", "--method=raw"}).rate,
              100000u);
}

TEST(Arguments, EchoedArgumentsCannotDriveTheTerminal) {
    EXPECT_EQ(Refusal(Texts{"\x1b[31m\xc2\x85\xe2\x80\xae\\\xff\xc3\xa9"}),
              "\"\\x1B[31m\\u0085\\u202E\\\\\\xFF\xc3\xa9\": not an IPv4 address");
    // A long one only by its start, cut between characters, and its length.
    const std::string huge =
        std::string(kQuotedStart - 1, 'a') + "\xc3\xa9" + std::string(120'000, 'b');
    EXPECT_EQ(Refusal(Texts{huge}), '"' + std::string(kQuotedStart - 1, 'a') + "...\" (" +
                                        std::to_string(huge.size()) +
                                        " bytes): longer than any target (at most 514 bytes)");
}

}  // namespace
}  // namespace varnock::console
