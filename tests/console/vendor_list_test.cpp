// A vendor list is read a line at a time, and no further than its limit
// (which lists are opened at all: linux/system_files_test.cpp); the cache
// of the lists is made anew when it is not whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "console/vendor_list_file.h"
#include "console/vendor_names.h"
#include "tests/support/text_input.h"

namespace varnock::console {
namespace {

TEST(VendorListFile, LongLinesAreSkippedAndNothingPastTheLimitIsRead) {
    const std::string first = "02:1A:2B\tWithin\n";
    const std::string longLine = "02:1A:2C\t" + std::string(kLongestVendorLine, 'x') + '\n';
    std::string text = first + longLine;
    text += std::string(kLargestVendorList - text.size() - 1, '#') + '\n';
    text += "02:1A:2D\tBeyond\n";
    testing::TextInput input(text, 1 << 20);
    const auto blocks = ReadVendorBlocks(input);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].name, "Within");
}

TEST(VendorListFile, ACacheCutInPlaceIsMadeAnew) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "varnock-vendor-cache-test";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path list = folder / "oui36.txt";
    std::ofstream(list) << "70-B3-D5   (hex)\t\tSmall Block\n"
                           "E12000-E12FFF     (base 16)\t\tSmall Block\n";
    const VendorSources sources{{list.string()}, {}, folder.string()};
    const HardwareAddressBytes small{0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01};
    EXPECT_EQ(VendorNames(sources).Of(small), "Small Block");
    // Ten bytes cut: without the header's size and checksum, the last names
    // went missing on every later run.
    const fs::path cache = folder / "vendors";
    const auto whole = fs::file_size(cache);
    fs::resize_file(cache, whole - 10);
    EXPECT_EQ(VendorNames(sources).Of(small), "Small Block");
    EXPECT_EQ(fs::file_size(cache), whole);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace varnock::console
