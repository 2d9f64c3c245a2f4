// The two forms of hardware address text: what each takes, what each refuses.

#include "console/text/hardware_address_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnock::console {
namespace {

constexpr auto kStrict = HardwareTextForm::kTwoDigitsColons;
constexpr auto kLoose = HardwareTextForm::kOneOrTwoDigits;

TEST(HardwareAddressReading, BothFormsTakeTwoDigitsJoinedByColons) {
    for (const auto form : {kStrict, kLoose}) {
        EXPECT_EQ(ReadHardwareAddressText("02:1a:2B:3c:4D:ff", form),
                  (HardwareAddressBytes{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}));
        EXPECT_EQ(ReadHardwareAddressText("7f", form), HardwareAddressBytes{0x7F});
    }
}

TEST(HardwareAddressReading, OnlyTheLooseFormTakesOneDigitAndDashes) {
    for (const std::string text : {"2:1a:b:3c:4d:5e", "02-1a-2b-3c-4d-5e"}) {
        EXPECT_FALSE(ReadHardwareAddressText(text, kStrict)) << text;
        EXPECT_TRUE(ReadHardwareAddressText(text, kLoose)) << text;
    }
    EXPECT_EQ(ReadHardwareAddressText("2-a-b-c-d-e", kLoose),
              (HardwareAddressBytes{0x02, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E}));
}

TEST(HardwareAddressReading, EitherFormRefusesWhatIsNoAddress) {
    const std::vector<std::string> bad{"",         ":",     "02:", ":02",   "02::1a",  "021:1a",
                                       "02:1a-2b", "02 1a", "0g",  "+2:1a", "02:1a\n", "02:1a:"};
    for (const auto form : {kStrict, kLoose}) {
        for (const std::string& text : bad) {
            EXPECT_FALSE(ReadHardwareAddressText(text, form)) << text;
        }
    }
}

TEST(HardwareAddressReading, HoldsAtMostTheLongestAddress) {
    std::string text = "01";
    for (std::size_t i = 1; i < kLongestHardwareText; ++i) {
        text += ":01";
    }
    for (const auto form : {kStrict, kLoose}) {
        EXPECT_EQ(ReadHardwareAddressText(text, form)->size(), kLongestHardwareText);
        EXPECT_FALSE(ReadHardwareAddressText(text + ":01", form));
    }
}

}  // namespace
}  // namespace varnock::console
