#include "lookup/linux/neighbour_settings.h"

#include <gtest/gtest.h>

#include <fstream>

namespace varnock::linux_backend {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class NeighbourGiveUpTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("neigh-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const std::string& interface, const std::string& name, const std::string& value) {
        fs::create_directories(root_ / interface);
        std::ofstream(root_ / interface / name) << value << "\n";
    }

    fs::path root_;
};

TEST_F(NeighbourGiveUpTimeTest, MulticastAndApplicationProbesTimesTheInterval) {
    Write("eth0", "mcast_solicit", "3");
    Write("eth0", "app_solicit", "2");
    Write("eth0", "retrans_time_ms", "250");
    EXPECT_EQ(NeighbourGiveUpTime("eth0", root_), milliseconds(1250));
}

TEST_F(NeighbourGiveUpTimeTest, UnreadableSettingsFallBackToTheKernelDefaults) {
    Write("eth0", "mcast_solicit", "garbage");
    EXPECT_EQ(NeighbourGiveUpTime("eth0", root_), milliseconds(3000));
    EXPECT_EQ(NeighbourGiveUpTime("missing", root_), milliseconds(3000));
}

TEST_F(NeighbourGiveUpTimeTest, OddNamesDoNotLeaveTheSettingsFolder) {
    Write("default", "mcast_solicit", "1");
    Write("default", "retrans_time_ms", "100");
    for (const char* name : {"", ".", "..", "../x", "a/b"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(NeighbourGiveUpTime(name, root_), milliseconds(100));
    }
}

TEST_F(NeighbourGiveUpTimeTest, ConfirmationIsTheFirstProbeDelayThenTheUnicastProbes) {
    Write("eth0", "delay_first_probe_time", "2");
    Write("eth0", "ucast_solicit", "3");
    Write("eth0", "mcast_resolicit", "1");
    Write("eth0", "retrans_time_ms", "100");
    EXPECT_EQ(NeighbourConfirmTime("eth0", root_), milliseconds(2400));
}

TEST_F(NeighbourGiveUpTimeTest, HugeSettingsAreCappedNotOverflowed) {
    Write("eth0", "mcast_solicit", "9223372036854775807");
    Write("eth0", "retrans_time_ms", "9223372036854775807");
    Write("eth0", "delay_first_probe_time", "9223372036854775807");
    EXPECT_EQ(NeighbourGiveUpTime("eth0", root_), kLongestNeighbourWait);
    EXPECT_EQ(NeighbourConfirmTime("eth0", root_), kLongestNeighbourWait);
}

}  // namespace
}  // namespace varnock::linux_backend
