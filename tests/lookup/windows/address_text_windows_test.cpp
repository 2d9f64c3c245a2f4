// ParseIpAddress on Windows hands the text to Windows Sockets' inet_addr
// unchanged: the results below are the ones its documentation gives.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "lookup/address_text.h"

namespace varnock {
namespace {

constexpr Ipv4Address kRejected = 0xFFFFFFFF;  // INADDR_NONE

// The address whose bytes, in memory (network order), are a.b.c.d.
Ipv4Address AddressOf(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::array<std::uint8_t, 4> bytes{a, b, c, d};
    Ipv4Address address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

Ipv4Address SystemInetAddr(const std::string& text) {
    return static_cast<Ipv4Address>(inet_addr(text.c_str()));
}

struct ParseCase {
    const char* text;
    Ipv4Address expected;
};

// Names the case by its text in test names and failure messages.
void PrintTo(const ParseCase& parseCase, std::ostream* os) {
    *os << '"' << parseCase.text << '"';
}

class ParseIpAddressOnWindows : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseIpAddressOnWindows, GivesWhatInetAddrGives) {
    const std::string text = GetParam().text;
    EXPECT_EQ(ParseIpAddress(text), SystemInetAddr(text));
    EXPECT_EQ(ParseIpAddress(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    DocumentedForms, ParseIpAddressOnWindows,
    testing::Values(ParseCase{"192.0.2.1", AddressOf(192, 0, 2, 1)}, ParseCase{"0.0.0.0", 0},
                    ParseCase{"255.255.255.255", kRejected},
                    // Fewer parts: the last one fills the remaining bytes.
                    ParseCase{"10.1", AddressOf(10, 0, 0, 1)},
                    ParseCase{"192.0.513", AddressOf(192, 0, 2, 1)},
                    ParseCase{"3221225985", AddressOf(192, 0, 2, 1)},
                    // Parts in C notation: 0x hexadecimal, leading 0 octal.
                    ParseCase{"0xC0.0.2.1", AddressOf(192, 0, 2, 1)},
                    ParseCase{"0300.0.02.01", AddressOf(192, 0, 2, 1)}, ParseCase{"abc", kRejected},
                    ParseCase{"192.0.2.256", kRejected}, ParseCase{"", kRejected}));

// The one text where Windows and glibc part ways: a lone space is the
// "any" address for Windows (and wine), rejected by glibc. The query then
// ends before any request, as the window expects for this text.
TEST(ParseIpAddressOnWindowsSpace, LoneSpaceIsAddressZero) {
    EXPECT_EQ(ParseIpAddress(" "), SystemInetAddr(" "));
    EXPECT_EQ(ParseIpAddress(" "), 0u);
}

TEST(ParseIpAddressOnWindowsSpace, TextIsNotTrimmed) {
    EXPECT_EQ(ParseIpAddress(" 192.0.2.1"), SystemInetAddr(" 192.0.2.1"));
    EXPECT_EQ(ParseIpAddress("192.0.2.1 "), SystemInetAddr("192.0.2.1 "));
}

}  // namespace
}  // namespace varnock
