// The IEEE's registries and a user's list: every block size, the longest
// prefix, what is skipped, and the compact form kept between runs.
#include "console/vendors/vendor_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace varnock::console {
namespace {

// One block of each size the IEEE assigns, nested in one another, in the
// layouts of oui.txt, mam.txt, oui36.txt and iab.txt.
constexpr const char* kRegistries =
    "70-B3-D5   (hex)\t\tIEEE Registration Authority\r\n"
    "70B3D5     (base 16)\t\tIEEE Registration Authority\r\n"
    "\r\n"
    "70-B3-D5   (hex)\t\tMedium Block\r\n"
    "E00000-EFFFFF     (base 16)\t\tMedium Block\r\n"
    "\t\t\t\tSome Street 1\r\n"
    "\r\n"
    "70-B3-D5   (hex)\t\tSmall Block\r\n"
    "E12000-E12FFF     (base 16)\t\tSmall Block\r\n"
    "\r\n"
    "00-50-C2                      (hex)                         Old Block              \r\n"
    "7D5000-7D5FFF                 (base 16)                     Old Block              \r\n";

std::string NameOf(const VendorRegistry& registry, HardwareAddressBytes bytes) {
    return std::string(registry.Find(bytes).value_or("-"));
}

TEST(VendorRegistry, TheLongestPrefixOfEverySizeWins) {
    const auto registry = VendorRegistry::FromBlocks(ParseVendorBlocks(kRegistries));
    EXPECT_EQ(registry.Size(), 4u);
    EXPECT_EQ(NameOf(registry, {0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01}), "Small Block");
    EXPECT_EQ(NameOf(registry, {0x70, 0xB3, 0xD5, 0xE1, 0x30, 0x01}), "Medium Block");
    EXPECT_EQ(NameOf(registry, {0x70, 0xB3, 0xD5, 0x10, 0x00, 0x01}),
              "IEEE Registration Authority");
    EXPECT_EQ(NameOf(registry, {0x00, 0x50, 0xC2, 0x7D, 0x5A, 0xBC}), "Old Block");
    EXPECT_EQ(NameOf(registry, {0x00, 0x50, 0xC2, 0x7D, 0x60, 0x00}), "-");
}

TEST(VendorRegistry, UserLinesAndWhatIsSkipped) {
    const auto blocks = ParseVendorBlocks(
        "02:1A:2B\tTwenty-four\n"
        "02-1A-2B-C\tTwenty-eight\n"
        "021A2BC3D\tThirty-six\n"
        "021A2\tToo short\n"      // 20 bits
        "021A2B3C\tThirty-two\n"  // no such block size
        "zz1A2B\tNot hex\n"
        "021A2B\t\n"  // no name
        "00-00-01   (hex)\t\tNo base line follows\n"
        "000002     (base 16)\t\tA base line of another OUI\n"
        "70-B3-D5   (hex)\t\tOdd\n"
        "E00001-E01000     (base 16)\t\tNot a whole block\n");
    const auto registry = VendorRegistry::FromBlocks(blocks);
    EXPECT_EQ(registry.Size(), 4u);
    EXPECT_EQ(NameOf(registry, {0x02, 0x1A, 0x2B, 0xC3, 0xD0, 0x00}), "Thirty-six");
    EXPECT_EQ(NameOf(registry, {0x02, 0x1A, 0x2B, 0xC0, 0x00, 0x00}), "Twenty-eight");
    EXPECT_EQ(NameOf(registry, {0x02, 0x1A, 0x2B, 0x00, 0x00, 0x00}), "Twenty-four");
    EXPECT_EQ(NameOf(registry, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00}), "No base line follows");
}

TEST(VendorRegistry, TheCompactFormReadsBackOnlyWholeAndForItsOwnStamp) {
    const std::string stamp = "oui.txt 5243370 1\n";
    const std::string whole =
        VendorRegistry::FromBlocks(ParseVendorBlocks(kRegistries)).Serialize(stamp);
    const auto readBack = [&](std::string bytes, const std::string& asked) {
        return VendorRegistry::FromCompact(CompactBytesOf(std::move(bytes)), asked);
    };
    const HardwareAddressBytes small{0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01};
    const auto back = readBack(whole, stamp);
    ASSERT_TRUE(back);
    EXPECT_EQ(NameOf(*back, small), "Small Block");
    EXPECT_FALSE(back->Damaged());

    const std::pair<const char*, std::string> damaged[] = {
        {"cut by ten bytes", whole.substr(0, whole.size() - 10)},
        {"cut by one byte", whole.substr(0, whole.size() - 1)},
        {"grown", whole + '\0'},
        {"no more than its header", whole.substr(0, whole.find(stamp) + stamp.size() + 8)},
        {"empty", ""},
    };
    for (const auto& [what, bytes] : damaged) {
        EXPECT_FALSE(readBack(bytes, stamp)) << what;
    }
    // A registry that changed since is not trusted either.
    EXPECT_FALSE(readBack(whole, "oui.txt 5243371 2\n"));
}

TEST(VendorRegistry, ADamagedEntryIsNeverAnsweredAndSaysSo) {
    const std::string whole =
        VendorRegistry::FromBlocks(ParseVendorBlocks(kRegistries)).Serialize("");
    const HardwareAddressBytes small{0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01};
    std::string flipped = whole;
    flipped[whole.find("Small Block") + 2] ^= 0x01;  // "Smcll Block"
    const auto back = VendorRegistry::FromCompact(CompactBytesOf(flipped), "");
    ASSERT_TRUE(back);
    EXPECT_EQ(NameOf(*back, {0x70, 0xB3, 0xD5, 0xE0, 0x00, 0x01}), "Medium Block");
    EXPECT_FALSE(back->Damaged());
    // Nothing rather than the wrong name, nor the enclosing block's.
    EXPECT_EQ(NameOf(*back, small), "-");
    EXPECT_TRUE(back->Damaged());
}

}  // namespace
}  // namespace varnock::console
