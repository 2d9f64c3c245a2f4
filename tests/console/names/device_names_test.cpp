#include "console/names/device_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace varnock::console {
namespace {

const HardwareAddressBytes kPrinter{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const HardwareAddressBytes kLaptop{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};

TEST(DeviceNames, ReadsNamesNotesAndBothSeparators) {
    DeviceNames names;
    names.Add(
        "# the office\n"
        "\n"
        "02:1a:2b:3c:4d:5e\tprinter   # second floor, by the stairs  \r\n"
        "  2-1A-2B-3C-4D-5F laptop\n"
        "0:0:0:0:0:1 bare#no space before the note",
        "ethers");
    EXPECT_TRUE(names.Problems().empty());
    ASSERT_EQ(names.Size(), 3u);
    const DeviceName* printer = names.Of(kPrinter);
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->name, "printer");
    EXPECT_EQ(printer->note, "second floor, by the stairs");
    const DeviceName* laptop = names.Of(kLaptop);
    ASSERT_NE(laptop, nullptr);
    EXPECT_EQ(laptop->name, "laptop");
    EXPECT_FALSE(laptop->note.has_value());
    const DeviceName* bare = names.Of({0, 0, 0, 0, 0, 1});
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->name, "bare");
    EXPECT_EQ(bare->note, "no space before the note");
    EXPECT_EQ(names.Of({0, 0, 0, 0, 0, 2}), nullptr);
    EXPECT_EQ(names.Of({0x02, 0x1A, 0x2B, 0x3C, 0x4D}), nullptr);  // not six bytes
}

TEST(DeviceNames, BadLinesAreProblemsWithTheirNumbersAndAreSkipped) {
    DeviceNames names;
    names.Add(
        "02:1a:2b:3c:4d:5e printer\n"     // 1
        "02:1a:2b:3c:4d printer\n"        // 2: five bytes
        "02:1a:2b:3c:4d:5e:6f printer\n"  // 3: seven bytes
        "02:1a-2b:3c:4d:5e printer\n"     // 4: mixed separators
        "002:1a:2b:3c:4d:5e printer\n"    // 5: three digits
        "02:1a:2b:3c:4d:5g printer\n"     // 6: not hexadecimal
        "02:1a:2b:3c:4d:5f\n"             // 7: no name
        "02:1a:2b:3c:4d:5f two words\n"   // 8
        "02:1a:2b:3c:4d:5f " +
            std::string(kLongestDeviceName + 1, 'n') + "\n" +                             // 9
            "02:1a:2b:3c:4d:5f n # " + std::string(kLongestDeviceNote + 1, 'x') + "\n" +  // 10
            "02:1a:2b:3c:4d:5f laptop\n",
        "names.txt");
    const std::vector<std::string> expected{
        "names.txt line 2: not a hardware address (six bytes joined by ':' or '-')",
        "names.txt line 3: not a hardware address (six bytes joined by ':' or '-')",
        "names.txt line 4: not a hardware address (six bytes joined by ':' or '-')",
        "names.txt line 5: not a hardware address (six bytes joined by ':' or '-')",
        "names.txt line 6: not a hardware address (six bytes joined by ':' or '-')",
        "names.txt line 7: a hardware address without a name",
        "names.txt line 8: more than one word where the name is (a note starts with '#')",
        "names.txt line 9: a name longer than 64 bytes",
        "names.txt line 10: a note longer than 256 bytes",
    };
    EXPECT_EQ(names.Problems(), expected);
    EXPECT_EQ(names.Size(), 2u);
    ASSERT_NE(names.Of(kLaptop), nullptr);
    EXPECT_EQ(names.Of(kLaptop)->name, "laptop");
}

TEST(DeviceNames, AnyBytesOfANameAreKeptAsTheyAre) {
    DeviceNames names;
    const std::string hostile = "<script>alert(1)</script>\"'&\x01\xff";
    names.Add("02:1a:2b:3c:4d:5e " + hostile + " # =cmd|' /C calc'!A0", "ethers");
    ASSERT_NE(names.Of(kPrinter), nullptr);
    EXPECT_EQ(names.Of(kPrinter)->name, hostile);
    EXPECT_EQ(names.Of(kPrinter)->note, "=cmd|' /C calc'!A0");
}

class DeviceNamesFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("device_names_test_" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::filesystem::path folder_;
};

TEST_F(DeviceNamesFiles, ALaterFileWins) {
    const std::string ethers = Write("ethers", "02:1a:2b:3c:4d:5e old\n02:1a:2b:3c:4d:5f laptop\n");
    const std::string mine = Write("names", "02-1A-2B-3C-4D-5E printer # new one\n");
    DeviceNames names;
    names.Load(ethers, true);
    names.Load(mine);
    EXPECT_TRUE(names.Problems().empty());
    EXPECT_EQ(names.Of(kPrinter)->name, "printer");
    EXPECT_EQ(names.Of(kPrinter)->note, "new one");
    EXPECT_EQ(names.Of(kLaptop)->name, "laptop");
}

TEST_F(DeviceNamesFiles, AMissingFileIsAProblemUnlessItMayBeMissing) {
    const std::string missing = (folder_ / "absent").string();
    DeviceNames optional;
    optional.Load(missing, true);
    EXPECT_TRUE(optional.Problems().empty());

    DeviceNames required;
    required.Load(missing);
    required.Load(folder_.string());
    ASSERT_EQ(required.Problems().size(), 2u);
    EXPECT_EQ(required.Problems()[0], missing + ": cannot be read: no such file");
    EXPECT_EQ(required.Problems()[1], folder_.string() + ": not a regular file");
}

TEST_F(DeviceNamesFiles, AFileOverTheLimitIsLeftUnread) {
    std::string text = "02:1a:2b:3c:4d:5e printer\n";
    text.resize(kLargestNamesFile + 1, '#');
    const std::string large = Write("large", text);
    DeviceNames names;
    names.Load(large);
    EXPECT_EQ(names.Size(), 0u);
    ASSERT_EQ(names.Problems().size(), 1u);
    EXPECT_NE(names.Problems()[0].find("not read"), std::string::npos);
}

}  // namespace
}  // namespace varnock::console
