#include "lookup/linux/table_room.h"

#include <gtest/gtest.h>

namespace varnock::linux_backend {
namespace {

using Counters = rtnl::NeighbourTable::Counters;
using std::chrono_literals::operator""s;

rtnl::NeighbourTable Table(std::uint32_t entries, Counters counters) {
    return {IpAddress::Family::kV4, entries, 512, 1024, counters};
}

// Readings a second apart, unless a test moves the clock on.
class Readings {
public:
    std::size_t Room(const rtnl::NeighbourTable& table, std::uint32_t ownPermanent = 0) {
        now_ += 1s;
        return gauge_.Room(table, ownPermanent, now_);
    }
    void Wait(std::chrono::seconds time) { now_ += time; }

private:
    TableRoomGauge gauge_;
    TableRoomGauge::Clock::time_point now_{};
};

TEST(TableRoomGauge, CountsVisibleRoomLessOwnPermanentEntries) {
    Readings gauge;
    // 448 usable (an eighth kept back); 100 counted, 20 of them ours and
    // permanent.
    EXPECT_EQ(gauge.Room({IpAddress::Family::kV4, 100, 512, 1024, std::nullopt}, 20), 368u);
    // The lower of the two limits binds.
    EXPECT_EQ(gauge.Room({IpAddress::Family::kV4, 0, 2048, 256, std::nullopt}, 0), 224u);
}

// 470 entries nobody here can see are permanent: the table looks full
// before anything was asked.
TEST(TableRoomGauge, LearnsRoomHiddenByAnotherNamespacesPermanentEntries) {
    Readings gauge;
    EXPECT_EQ(gauge.Room(Table(480, {100, 7, 0, 60s})), 1u);  // one at a time
    // Entries made, no forced collection though the kernel was free to
    // run one: room proven, doubling with each proof.
    EXPECT_EQ(gauge.Room(Table(484, {104, 7, 0, 61s})), 4u);
    EXPECT_EQ(gauge.Room(Table(492, {112, 7, 0, 61s})), 8u);
    // Nothing made since: nothing more proven.
    EXPECT_EQ(gauge.Room(Table(492, {112, 7, 0, 62s})), 8u);
    EXPECT_EQ(gauge.Room(Table(500, {120, 7, 0, 62s})), 16u);
    // The kernel collected by force with 1000 counted, 8 of them made since
    // the last reading: at least 480 it never collects. From then on the
    // room is the usable part beside those, and never less than one at a
    // time: this table is still full of entries we cannot see.
    EXPECT_EQ(gauge.Room(Table(1000, {128, 8, 0, 0s})), 1u);
    EXPECT_EQ(gauge.Room(Table(900, {130, 8, 0, 1s})), 28u);
    // Entries made within the kernel's pause prove nothing more.
    EXPECT_EQ(gauge.Room(Table(900, {200, 8, 0, 7s})), 28u);
}

// 600 permanent entries elsewhere: past the soft limit itself, so no room
// shows, and only an entry made can prove any.
TEST(TableRoomGauge, LetsLookupsThroughOneAtATimePastTheLimitOfEntriesItCannotCount) {
    Readings gauge;
    for (int reading = 0; reading < 100; ++reading) {
        ASSERT_EQ(gauge.Room(Table(600, {100, 7, 0, 60s})), 1u) << "reading " << reading;
    }
    // The entry made went in quietly: room proven.
    EXPECT_EQ(gauge.Room(Table(601, {101, 7, 0, 61s})), 4u);

    // 300 permanent and 600 that another namespace uses: the entry made
    // makes the kernel collect by force (down to 812), which leaves no
    // room beside what it cannot collect, and a refusal at
    // the hard limit leaves none either. Read, and one at a time all the
    // same: the kernel tells each time.
    Readings busy;
    EXPECT_EQ(busy.Room(Table(900, {100, 7, 0, 60s})), 1u);
    EXPECT_EQ(busy.Room(Table(812, {101, 8, 0, 0s})), 1u);
    EXPECT_EQ(busy.Room(Table(1024, {140, 8, 1, 3s})), 1u);
}

TEST(TableRoomGauge, ATableOurOwnLookupsFilledIsNotProbedNorPushedToTheLimit) {
    Readings gauge;
    EXPECT_EQ(gauge.Room(Table(16, {100, 7, 0, 60s})), 432u);
    // Past the reserve: one at a time, never proven more.
    EXPECT_EQ(gauge.Room(Table(460, {600, 7, 0, 61s})), 1u);
    EXPECT_EQ(gauge.Room(Table(470, {610, 7, 0, 62s})), 1u);
    // At the limit: none, while the kernel may still collect.
    EXPECT_EQ(gauge.Room(Table(511, {650, 7, 0, 63s})), 0u);
    gauge.Wait(60s);
    EXPECT_EQ(gauge.Room(Table(511, {650, 7, 0, 124s})), 0u);
}

// Another namespace fills the table after the first reading (a long watch)
// with entries that never go: once nothing has been collected for long,
// the table is probed as one full at first sight.
TEST(TableRoomGauge, ATableThatStaysFullWithNothingCollectedIsProbed) {
    Readings gauge;
    EXPECT_EQ(gauge.Room(Table(16, {100, 7, 0, 60s})), 432u);
    EXPECT_EQ(gauge.Room(Table(600, {100, 7, 0, 61s})), 0u);
    gauge.Wait(30s);
    EXPECT_EQ(gauge.Room(Table(600, {100, 7, 0, 92s})), 0u);
    // A collection (the count fell) starts the wait again.
    EXPECT_EQ(gauge.Room(Table(590, {100, 7, 0, 93s})), 0u);
    gauge.Wait(60s);
    EXPECT_EQ(gauge.Room(Table(590, {100, 7, 0, 154s})), 0u);
    gauge.Wait(30s);
    EXPECT_EQ(gauge.Room(Table(590, {100, 7, 0, 185s})), 1u);
    EXPECT_EQ(gauge.Room(Table(591, {101, 7, 0, 186s})), 4u);
}

}  // namespace
}  // namespace varnock::linux_backend
