// A vendor list is read a line at a time, and no further than its limit
// (which lists are opened at all: linux/system_files_test.cpp); the cache
// of the lists is made anew when it is not whole; the form shipped beside
// the program is used only when no system list is there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "console/vendors/vendor_list_file.h"
#include "console/vendors/vendor_names.h"
#include "console/vendors/vendor_registry.h"
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
    // Ten bytes cut: without the header's size, the last names went missing
    // on every later run.
    const fs::path cache = folder / "vendors";
    const auto whole = fs::file_size(cache);
    fs::resize_file(cache, whole - 10);
    EXPECT_EQ(VendorNames(sources).Of(small), "Small Block");
    EXPECT_EQ(fs::file_size(cache), whole);
    // A name damaged in place, or the cache cut under a running program:
    // made anew from the list at once, never answered wrong.
    for (const bool cutWhileOpen : {false, true}) {
        SCOPED_TRACE(cutWhileOpen ? "cut while open" : "a name damaged");
        VendorNames names(sources);
        if (cutWhileOpen) {
            EXPECT_EQ(names.Of({0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), std::nullopt);  // opens it
            fs::resize_file(cache, whole - 10);
        } else {
            std::fstream file(cache, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(static_cast<std::streamoff>(whole - 3));
            file.put('#');
        }
        EXPECT_EQ(names.Of(small), "Small Block");
        EXPECT_EQ(VendorNames(sources).Of(small), "Small Block");  // the new cache serves
    }
    fs::remove_all(folder);
}

TEST(VendorListFile, TheShippedFormServesOnlyWithoutSystemListsAndSaysWhatItWasMadeFrom) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "varnock-vendor-shipped-test";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string stamp = "    oui.txt (2026-11-30)\n";
    const fs::path shipped = folder / "varnock-vendors.bin";
    std::ofstream(shipped, std::ios::binary)
        << VendorRegistry::FromBlocks(ParseVendorBlocks("00:1A:2B\tShipped Maker\n"))
               .Serialize(stamp);
    const fs::path list = folder / "oui.txt";
    std::ofstream(list) << "00:1A:2B\tSystem Maker\n";
    const fs::path damaged = folder / "damaged.bin";
    std::ofstream(damaged, std::ios::binary) << "varnock vendors 3\n\x10";
    const HardwareAddressBytes address{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

    struct Row {
        const char* name;
        std::vector<std::string> systemFiles;
        fs::path shippedFile;
        std::optional<std::string> vendor;
        std::size_t problems;
    };
    const Row rows[] = {
        {"no system list: the shipped form", {}, shipped, "Shipped Maker", 0},
        {"a system list wins", {list.string()}, shipped, "System Maker", 0},
        {"none shipped: no name, no problem", {}, folder / "absent.bin", std::nullopt, 0},
        {"a damaged one is said", {}, damaged, std::nullopt, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VendorNames names({row.systemFiles, {}, {}, row.shippedFile.string()});
        const auto found = names.Of(address);
        EXPECT_EQ(found ? std::optional<std::string>(*found) : std::nullopt, row.vendor);
        EXPECT_EQ(names.TakeProblems().size(), row.problems);
    }
    EXPECT_EQ(DescribeVendorSources({{}, {}, {}, shipped.string()}),
              "Vendor lists:\n  " + shipped.string() + ", made from:\n" + stamp);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace varnock::console
