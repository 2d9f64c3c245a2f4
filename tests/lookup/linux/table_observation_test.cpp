// What an observer of the neighbour table hears from the kernel's
// notifications: never a change older than the table read after a loss, and
// only of interfaces that resolve neighbours as they are now.

#include "lookup/linux/table_observation.h"

#include <gtest/gtest.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>

#include <map>
#include <string>
#include <vector>

#include "lookup/linux/notification_source.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock::linux_backend {
namespace {

using testing::ScriptedNotifications;

constexpr Ipv4Address kHost = 0x0202'00C0;   // 192.0.2.2
constexpr Ipv4Address kOther = 0x0302'00C0;  // 192.0.2.3
const std::vector<std::uint8_t> kOld{2, 0, 0, 0, 0, 1};
const std::vector<std::uint8_t> kNew{2, 0, 0, 0, 0, 2};

// Writes down what it is told, in order.
class RecordingObserver final : public NeighbourObserver {
public:
    void Changed(const NeighbourEntry& entry) override {
        told.push_back(
            "changed " + std::to_string(entry.address.bytes[3]) + " " +
            std::to_string(entry.hardwareAddress.empty() ? 0 : entry.hardwareAddress[5]));
    }
    void Lost(const std::vector<NeighbourEntry>& table) override {
        told.push_back("lost " + std::to_string(table.size()));
    }
    std::vector<std::string> told;
};

rtnl::Neighbour Entry(std::uint32_t interfaceIndex, Ipv4Address address,
                      std::vector<std::uint8_t> hardware) {
    rtnl::Neighbour entry;
    entry.interfaceIndex = interfaceIndex;
    entry.destination = IpAddress::V4(address);
    entry.state = NUD_REACHABLE;
    entry.hardwareAddress = std::move(hardware);
    return entry;
}

// Reads the scripted notifications as the engine reads its subscription.
void ReadAll(ScriptedNotifications& kernel, TableObservation& observation,
             const std::function<std::vector<rtnl::Neighbour>()>& readTable) {
    ReadQueuedNotifications(
        kernel,
        [&](std::span<const std::byte> datagram) {
            ForEachNotification(
                datagram, [&](std::uint32_t index) { observation.LinkChanged(index); },
                [&](const rtnl::Neighbour& neighbour) { observation.Changed(neighbour); });
        },
        [&] { observation.Lost(readTable()); });
}

TEST(TableObservationTest, NothingQueuedBeforeALossIsToldAfterTheTable) {
    RecordingObserver observer;
    TableObservation observation(observer, 0, [](std::uint32_t) { return true; });
    ScriptedNotifications kernel;
    kernel.Queue(ScriptedNotifications::Neighbour(2, kHost, NUD_REACHABLE, kOld));
    kernel.QueueLoss();
    // Queued behind the loss, older than the table read after it: the host
    // had the old address, then went, then came back with the new one.
    kernel.Queue(ScriptedNotifications::Neighbour(2, kHost, NUD_REACHABLE, kOld));
    kernel.Queue(ScriptedNotifications::Neighbour(2, kHost, NUD_FAILED));
    int tableReads = 0;
    ReadAll(kernel, observation, [&] {
        ++tableReads;
        // What comes after the reading is newer and is told.
        kernel.Queue(ScriptedNotifications::Neighbour(2, kOther, NUD_REACHABLE, kNew));
        return std::vector{Entry(2, kHost, kNew)};
    });
    EXPECT_EQ(tableReads, 1);
    EXPECT_EQ(observer.told, (std::vector<std::string>{"changed 2 1", "lost 1", "changed 3 2"}));
    EXPECT_EQ(kernel.Queued(), 0U);
}

TEST(TableObservationTest, AnInterfaceIsAskedOnceUntilItsIndexChangesHands) {
    RecordingObserver observer;
    std::map<std::uint32_t, bool> resolves{{7, true}};
    int asked = 0;
    TableObservation observation(observer, 0, [&](std::uint32_t index) {
        ++asked;
        return resolves[index];
    });
    ScriptedNotifications kernel;
    kernel.Queue(ScriptedNotifications::Neighbour(7, kHost, NUD_REACHABLE, kOld));
    kernel.Queue(ScriptedNotifications::Neighbour(7, kOther, NUD_REACHABLE, kOld));
    ReadAll(kernel, observation, [] { return std::vector<rtnl::Neighbour>{}; });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(observer.told.size(), 2U);

    // The interface goes and one that does not use ARP takes its index.
    resolves[7] = false;
    kernel.Queue(ScriptedNotifications::Link(RTM_DELLINK, 7));
    kernel.Queue(ScriptedNotifications::Neighbour(7, kHost, NUD_NOARP, kOld));
    ReadAll(kernel, observation, [] { return std::vector<rtnl::Neighbour>{}; });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(observer.told.size(), 2U);
}

TEST(TableObservationTest, ALossAsksTheInterfacesAgain) {
    RecordingObserver observer;
    bool usesArp = true;
    TableObservation observation(observer, 0, [&](std::uint32_t) { return usesArp; });
    ScriptedNotifications kernel;
    kernel.Queue(ScriptedNotifications::Neighbour(4, kHost, NUD_REACHABLE, kOld));
    kernel.QueueLoss();
    // The link's own notifications were among the lost.
    ReadAll(kernel, observation, [&] {
        usesArp = false;
        return std::vector{Entry(4, kHost, kOld)};
    });
    EXPECT_EQ(observer.told, (std::vector<std::string>{"changed 2 1", "lost 0"}));
}

TEST(TableObservationTest, OnlyTheObservedInterfaceAndNoMulticast) {
    RecordingObserver observer;
    TableObservation observation(observer, 3, [](std::uint32_t) { return true; });
    const auto multicast = Entry(3, 0x010000E0, kOld);  // 224.0.0.1
    const auto table =
        observation.Observed({Entry(3, kHost, kOld), Entry(4, kOther, kOld), multicast});
    ASSERT_EQ(table.size(), 1U);
    EXPECT_EQ(table[0].interfaceIndex, 3U);
    EXPECT_EQ(table[0].state, NeighbourEntry::State::kAnswering);
}

}  // namespace
}  // namespace varnock::linux_backend
