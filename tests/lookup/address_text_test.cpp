#include "lookup/address_text.h"

#include <gtest/gtest.h>

namespace varnock {
namespace {

constexpr Ipv4Address NetworkOrder(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    // Network order in memory on the little-endian machines we build for.
    return static_cast<Ipv4Address>(a) | static_cast<Ipv4Address>(b) << 8 |
           static_cast<Ipv4Address>(c) << 16 | static_cast<Ipv4Address>(d) << 24;
}

constexpr Ipv4Address kRejected = 0xFFFF'FFFF;

struct ParseCase {
    const char* text;
    Ipv4Address expected;
};

class ParseIpAddressTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseIpAddressTest, ReadsAsThePlatformDoes) {
    EXPECT_EQ(ParseIpAddress(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIpAddressTest,
    ::testing::Values(ParseCase{"192.0.2.2", NetworkOrder(192, 0, 2, 2)}, ParseCase{"0.0.0.0", 0},
                      // Shorthand: the last part fills the remaining bytes.
                      ParseCase{"10.1", NetworkOrder(10, 0, 0, 1)},
                      ParseCase{"192.0.514", NetworkOrder(192, 0, 2, 2)},
                      // Hexadecimal and octal parts.
                      ParseCase{"0xC0.0.2.0x10", NetworkOrder(192, 0, 2, 16)},
                      ParseCase{"0300.0.02.010", NetworkOrder(192, 0, 2, 8)},
                      // The broadcast address and a rejected text look alike.
                      ParseCase{"255.255.255.255", kRejected}, ParseCase{"abc", kRejected},
                      ParseCase{"1.2.3.4junk", kRejected}, ParseCase{"", kRejected},
                      ParseCase{"256.0.0.1", kRejected}));

TEST(ParseIpAddress, LeavesJudgingTheTextToThePlatform) {
    // inet_addr stops at white space and ignores what follows; we add no
    // validation of our own on top.
    EXPECT_EQ(ParseIpAddress("192.0.2.2 junk"), NetworkOrder(192, 0, 2, 2));
}

}  // namespace
}  // namespace varnock
