#include "lookup/linux/table_room.h"

#include <gtest/gtest.h>

namespace varnock::linux_backend {
namespace {

using Counters = rtnl::NeighbourTable::Counters;
using std::chrono_literals::operator""s;

rtnl::NeighbourTable Table(std::uint32_t entries, Counters counters) {
    return {IpAddress::Family::kV4, entries, 512, 1024, counters};
}

TEST(TableRoomGauge, CountsVisibleRoomLessOwnPermanentEntries) {
    TableRoomGauge gauge;
    // 448 usable (an eighth kept back); 100 counted, 20 of them ours and
    // permanent.
    EXPECT_EQ(gauge.Room({IpAddress::Family::kV4, 100, 512, 1024, std::nullopt}, 20), 368u);
    // The lower of the two limits binds.
    EXPECT_EQ(gauge.Room({IpAddress::Family::kV4, 0, 2048, 256, std::nullopt}, 0), 224u);
}

// 470 entries nobody here can see are permanent: the table looks full
// before anything was asked.
TEST(TableRoomGauge, LearnsRoomHiddenByAnotherNamespacesPermanentEntries) {
    TableRoomGauge gauge;
    EXPECT_EQ(gauge.Room(Table(480, {100, 7, 0, 60s}), 0), 1u);  // one at a time
    // Entries made, no forced collection though the kernel was free to
    // run one: room proven, doubling with each proof.
    EXPECT_EQ(gauge.Room(Table(484, {104, 7, 0, 61s}), 0), 4u);
    EXPECT_EQ(gauge.Room(Table(492, {112, 7, 0, 61s}), 0), 8u);
    // Nothing made since: nothing more proven.
    EXPECT_EQ(gauge.Room(Table(492, {112, 7, 0, 62s}), 0), 8u);
    EXPECT_EQ(gauge.Room(Table(500, {120, 7, 0, 62s}), 0), 16u);
    // The kernel collected by force with 1000 counted, 8 of them made since
    // the last reading: at least 480 it never collects. From then on the
    // room is the usable part beside those.
    EXPECT_EQ(gauge.Room(Table(1000, {128, 8, 0, 0s}), 0), 0u);
    EXPECT_EQ(gauge.Room(Table(900, {130, 8, 0, 1s}), 0), 28u);
    // Entries made within the kernel's pause prove nothing more.
    EXPECT_EQ(gauge.Room(Table(900, {200, 8, 0, 7s}), 0), 28u);
}

TEST(TableRoomGauge, ATableOurOwnLookupsFilledIsNotProbedNorPushedToTheLimit) {
    TableRoomGauge gauge;
    EXPECT_EQ(gauge.Room(Table(16, {100, 7, 0, 60s}), 0), 432u);
    // Past the reserve: one at a time, never proven more.
    EXPECT_EQ(gauge.Room(Table(460, {600, 7, 0, 61s}), 0), 1u);
    EXPECT_EQ(gauge.Room(Table(470, {610, 7, 0, 62s}), 0), 1u);
    // At the limit: none, until the kernel collects.
    EXPECT_EQ(gauge.Room(Table(511, {650, 7, 0, 63s}), 0), 0u);
}

}  // namespace
}  // namespace varnock::linux_backend
