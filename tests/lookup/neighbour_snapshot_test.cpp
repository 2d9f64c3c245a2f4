// Where a system tells no changes of its neighbour table, two readings are
// compared: every difference, and nothing else.
#include "lookup/neighbour_snapshot.h"

#include <gtest/gtest.h>

namespace varnock {
namespace {

NeighbourEntry Entry(std::uint8_t last, std::uint8_t mac, NeighbourEntry::State state) {
    NeighbourEntry entry;
    entry.address = IpAddress::V4(0x0002'00C0u | (std::uint32_t{last} << 24));
    entry.interfaceIndex = 4;
    entry.state = state;
    if (state == NeighbourEntry::State::kAnswering) {
        entry.hardwareAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, mac};
    }
    return entry;
}

TEST(ChangesBetween, EveryDifferenceAndNothingElse) {
    using State = NeighbourEntry::State;
    const std::vector before{Entry(2, 1, State::kAnswering), Entry(3, 1, State::kAnswering),
                             Entry(4, 1, State::kAnswering), Entry(5, 1, State::kAnswering)};
    const std::vector after{Entry(2, 1, State::kAnswering), Entry(3, 2, State::kAnswering),
                            Entry(4, 0, State::kFailed), Entry(6, 1, State::kAnswering)};
    const auto changes = ChangesBetween(before, after);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].hardwareAddress.back(), 2);            // .3 changed its address
    EXPECT_EQ(changes[1].state, State::kFailed);                // .4 failed
    EXPECT_EQ(changes[2].address, IpAddress::V4(0x0602'00C0));  // .6 is new
    EXPECT_EQ(changes[3].state, State::kOther);                 // .5 went
    EXPECT_TRUE(ChangesBetween(after, after).empty());
}

}  // namespace
}  // namespace varnock
