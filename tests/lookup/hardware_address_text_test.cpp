#include "lookup/hardware_address_text.h"

#include <gtest/gtest.h>

#include "tests/lookup/allocation_failure.h"

namespace varnock {
namespace {

struct FormatCase {
    HardwareAddressBytes bytes;
    std::string delimiter;
    std::string expected;
};

class FormatMacAddressTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatMacAddressTest, FormatsSixBytes) {
    const auto& [bytes, delimiter, expected] = GetParam();
    EXPECT_EQ(FormatMacAddress(bytes, delimiter), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FormatMacAddressTest,
    ::testing::Values(
        FormatCase{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, ":", "00:1A:2B:3C:4D:5E"},
        // Single digits keep their leading zero; letters are upper case.
        FormatCase{{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}, ":", "0A:0B:0C:0D:0E:0F"},
        FormatCase{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-", "FF-FF-FF-FF-FF-FF"},
        FormatCase{{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}, "", "0123456789AB"},
        // A delimiter is used whole, however long, and never at the ends.
        FormatCase{{0x10, 0x20, 0x30, 0x40, 0x50, 0x60}, " - ", "10 - 20 - 30 - 40 - 50 - 60"},
        FormatCase{{0xC0, 0xFF, 0xEE, 0x00, 0x00, 0x01}, "::", "C0::FF::EE::00::00::01"}));

TEST(FormatMacAddress, AnythingButSixBytesGivesTheEmptyText) {
    for (std::size_t length : {0u, 1u, 4u, 5u, 7u, 8u, 16u}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(FormatMacAddress(HardwareAddressBytes(length, 0xAB), ":"), "");
    }
}

TEST(HardwareAddressText, AnyLengthInOrder) {
    EXPECT_EQ(HardwareAddressText({}, ":"), "");
    EXPECT_EQ(HardwareAddressText({0x0A}, ":"), "0A");
    EXPECT_EQ(HardwareAddressText({0xC0, 0x00, 0x02, 0xFE}, ":"), "C0:00:02:FE");
    EXPECT_EQ(HardwareAddressText(HardwareAddressBytes(8, 0xAB), "-"), "AB-AB-AB-AB-AB-AB-AB-AB");
}

TEST(FormatMacAddress, RunningOutOfMemoryGivesErrorInsteadOfAFailure) {
    const HardwareAddressBytes bytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    // A delimiter long enough that the text cannot stay in the string itself.
    const std::string delimiter(40, ':');
    std::string text;
    {
        testing::AllocationFailure noMemory;
        text = FormatMacAddress(bytes, delimiter);
    }
    EXPECT_GT(testing::AllocationFailure::Refused(), 0);
    EXPECT_EQ(text, "ERROR");
}

}  // namespace
}  // namespace varnock
