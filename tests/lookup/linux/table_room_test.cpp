#include "lookup/linux/table_room.h"

#include <gtest/gtest.h>

namespace varnock::linux_backend {
namespace {

using Counters = rtnl::NeighbourTable::Counters;
using std::chrono_literals::operator""s;

// A table the count calls full: 470 entries nobody here can see are
// permanent, against the default limits.
rtnl::NeighbourTable Full(Counters counters) {
    return {IpAddress::Family::kV4, 500, 512, 1024, counters};
}

TEST(TableRoomGauge, CountsVisibleRoomLessOwnPermanentEntries) {
    TableRoomGauge gauge;
    // 448 usable (an eighth kept back); 100 counted, 20 of them ours and
    // permanent.
    EXPECT_EQ(gauge.Room({IpAddress::Family::kV4, 100, 512, 1024, std::nullopt}, 20), 368u);
    // The lower of the two limits binds.
    EXPECT_EQ(gauge.Room({IpAddress::Family::kV4, 0, 2048, 256, std::nullopt}, 0), 224u);
}

TEST(TableRoomGauge, LearnsHiddenRoomFromEntriesMadeWithoutForcedCollection) {
    TableRoomGauge gauge;
    EXPECT_EQ(gauge.Room(Full({100, 7, 0, 60s}), 0), 0u);
    // Entries made, no forced collection though the kernel was free to
    // run one: room proven, doubling with each proof.
    EXPECT_EQ(gauge.Room(Full({104, 7, 0, 61s}), 0), 4u);
    EXPECT_EQ(gauge.Room(Full({108, 7, 0, 61s}), 0), 8u);
    // Nothing made since: nothing more proven.
    EXPECT_EQ(gauge.Room(Full({108, 7, 0, 62s}), 0), 8u);
    EXPECT_EQ(gauge.Room(Full({116, 7, 0, 62s}), 0), 16u);
    // The kernel collected by force: the room is gone, and entries made
    // within its 5 s pause prove nothing.
    EXPECT_EQ(gauge.Room(Full({120, 8, 0, 0s}), 0), 0u);
    EXPECT_EQ(gauge.Room(Full({130, 8, 0, 2s}), 0), 0u);
    EXPECT_EQ(gauge.Room(Full({140, 8, 0, 6s}), 0), 0u);
    EXPECT_EQ(gauge.Room(Full({150, 8, 0, 7s}), 0), 4u);
    // A refused entry withdraws it too.
    EXPECT_EQ(gauge.Room(Full({150, 8, 1, 8s}), 0), 0u);
}

}  // namespace
}  // namespace varnock::linux_backend
