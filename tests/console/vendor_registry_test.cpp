// The IEEE's registries and a user's list: every block size, the longest
// prefix, what is skipped, and the compact form kept between runs.
#include "console/vendor_registry.h"

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

TEST(VendorRegistry, TheCompactFormReadsBackOnlyForItsOwnStamp) {
    const auto built = VendorRegistry::FromBlocks(ParseVendorBlocks(kRegistries));
    const auto bytes = std::make_shared<const std::string>(built.Serialize("oui.txt 5243370 1\n"));
    const auto back = VendorRegistry::FromCompact(bytes, *bytes, "oui.txt 5243370 1\n");
    ASSERT_TRUE(back);
    EXPECT_EQ(NameOf(*back, {0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01}), "Small Block");
    // A registry that changed since, or a damaged file, is not trusted.
    EXPECT_FALSE(VendorRegistry::FromCompact(bytes, *bytes, "oui.txt 5243371 2\n"));
    const std::string_view cut = std::string_view(*bytes).substr(0, bytes->size() - 5);
    const auto damaged = VendorRegistry::FromCompact(bytes, cut, "oui.txt 5243370 1\n");
    ASSERT_TRUE(damaged);
    // The last name listed ran past the end: not answered, never read.
    EXPECT_EQ(NameOf(*damaged, {0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01}), "-");
    EXPECT_EQ(NameOf(*damaged, {0x00, 0x50, 0xC2, 0x7D, 0x5A, 0xBC}), "Old Block");
}

}  // namespace
}  // namespace varnock::console
