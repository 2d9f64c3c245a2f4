// Many lookups at once: order, bound, pacing, failures.
#include "console/lookups/concurrent_lookups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/lookups/targets.h"
#include "console/text/address_text.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock::console {
namespace {

using std::chrono::milliseconds;
using testing::Answer;
using testing::Fails;
using testing::ScriptedNeighbours;

// Targets without names or interfaces.
std::vector<Target> Targets(const std::string& argument) {
    const TargetSystem plain{[](const std::string&) { return std::vector<IpAddress>{}; },
                             [](const std::string&) { return std::optional<std::uint32_t>{}; }};
    return ExpandTargets(std::vector<std::string>{argument}, plain);
}

// "address answer-or-reason" for each result, in the order delivered.
std::vector<std::string> LookUp(ScriptedNeighbours& network, const std::string& network24,
                                LookupLimits limits) {
    const auto addresses = Targets(network24);
    std::vector<std::string> lines;
    const auto engine = network.MakeEngine();
    LookUpInOrder(
        addresses, LookupSettings{}, *engine, limits,
        [&](AddressResult&& result) {
            lines.push_back(DottedText(result.address.V4Value()) + " " +
                            (result.Answered() ? *result.hardwareAddress : result.reason));
        },
        [](const LookupProgress&) {});
    return lines;
}

TEST(ConcurrentLookups, ResultsComeInTheOrderGivenWhicheverFinishesFirst) {
    ScriptedNeighbours network;
    network.replies["192.0.2.1"] = Answer({2, 0, 0, 0, 0, 1}, milliseconds{60});
    network.replies["192.0.2.2"] = Fails(arp_status::kNotUnicast, milliseconds{30});
    EXPECT_EQ(LookUp(network, "192.0.2.0/30", {8, {}, {}}),
              (std::vector<std::string>{"192.0.2.1 02:00:00:00:00:01",
                                        "192.0.2.2 broadcast or multicast address"}));
}

TEST(ConcurrentLookups, ManySlowAddressesTakeAboutOneWaitNotOneEach) {
    ScriptedNeighbours network;
    for (int host = 1; host <= 62; ++host) {
        network.replies["192.0.2." + std::to_string(host)] =
            Fails(arp_status::kNoAnswer, milliseconds{200});
    }
    EXPECT_EQ(LookUp(network, "192.0.2.0/26", {}).size(), 62u);
    // Counted, not timed: one after the other would take 12.4 s. Loose, for
    // a machine (or wine) that is slow to start threads.
    EXPECT_GT(network.MostInFlight(), 8);
}

TEST(ConcurrentLookups, NeverMoreInFlightThanTheLimit) {
    ScriptedNeighbours network;
    for (int host = 1; host <= 14; ++host) {
        network.replies["192.0.2." + std::to_string(host)] =
            Fails(arp_status::kNoAnswer, milliseconds{20});
    }
    EXPECT_EQ(LookUp(network, "192.0.2.0/28", {3, {}, {}}).size(), 14u);
    EXPECT_EQ(network.MostInFlight(), 3);
}

TEST(ConcurrentLookups, WithoutRoomInTheTableOfTheSameFamilyNothingStartsUntilThereIs) {
    ScriptedNeighbours network;
    network.reply = Fails(arp_status::kNoAnswer, milliseconds{20});
    std::vector<IpAddress::Family> asked;
    std::vector<std::size_t> startedBefore;  // lookups started before each reading
    // No room at first, then room for one lookup at each reading.
    const LookupLimits full{64, {}, [&](IpAddress::Family family) {
                                asked.push_back(family);
                                startedBefore.push_back(network.CallCount());
                                return std::optional<std::size_t>(asked.size() > 3 ? 1 : 0);
                            }};
    EXPECT_EQ(LookUp(network, "192.0.2.0/27", full).size(), 30u);
    // Each reading lets one start; a lookup takes a fifth of the readings'
    // spacing, so seldom do two overlap.
    EXPECT_LE(network.MostInFlight(), 2);
    EXPECT_GE(asked.size(), 3u + 30u);
    // Nothing started while the readings said there was no room.
    EXPECT_EQ(startedBefore.at(3), 0u);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), IpAddress::Family::kV6), 0)
        << "an IPv4 run asks the IPv4 table only";
    // A handful of addresses fits the reserve the room leaves: not asked.
    asked.clear();
    startedBefore.clear();
    LookUp(network, "192.0.2.0/29", full);
    EXPECT_TRUE(asked.empty());
}

// Hands lookups on to another engine, noting when each was submitted.
class SubmitClock final : public NeighbourEngine {
public:
    explicit SubmitClock(NeighbourEngine& inner) : inner_(inner) {}
    Ticket Submit(const NeighbourQuery& query, Finished finished) override {
        submitted.push_back(Clock::now());
        return inner_.Submit(query, std::move(finished));
    }
    void Cancel(Ticket ticket) override { inner_.Cancel(ticket); }
    void Run(Clock::time_point until) override { inner_.Run(until); }
    std::size_t InFlight() const override { return inner_.InFlight(); }

    std::vector<Clock::time_point> submitted;

private:
    NeighbourEngine& inner_;
};

TEST(ConcurrentLookups, StartsAreSpacedByTheInterval) {
    ScriptedNeighbours network;
    const auto engine = network.MakeEngine();
    SubmitClock clock(*engine);
    const milliseconds interval{10};
    const auto addresses = Targets("192.0.2.0/29");
    LookUpInOrder(
        addresses, LookupSettings{}, clock, {8, interval, {}}, [](AddressResult&&) {},
        [](const LookupProgress&) {});
    const auto& starts = clock.submitted;
    ASSERT_EQ(starts.size(), 6u);
    // Each start is due an interval after the one before: late by a little
    // scheduling jitter, never early.
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_GE(starts[i] - starts[i - 1], interval * 9 / 10) << "start " << i;
    }
}

TEST(ConcurrentLookups, FailuresStayWithTheirAddress) {
    ScriptedNeighbours network;
    network.replies["192.0.2.1"] = testing::Answer({0, 0, 0, 0, 0, 0});
    network.replies["192.0.2.2"].before = [] { throw std::runtime_error("no socket"); };
    EXPECT_EQ(LookUp(network, "192.0.2.0/30", {1, {}, {}}),
              (std::vector<std::string>{"192.0.2.1 empty answer",
                                        "192.0.2.2 the system could not be asked: no socket"}));

    // A delivery that throws stops the run instead of finishing the /24.
    const auto addresses = Targets("192.0.2.0/24");
    const auto engine = network.MakeEngine();
    EXPECT_THROW(
        LookUpInOrder(
            addresses, LookupSettings{}, *engine, {4, milliseconds{1}, {}},
            [](AddressResult&&) { throw std::runtime_error(""); }, [](const LookupProgress&) {}),
        std::runtime_error);
    EXPECT_LT(network.CallCount(), 100u);
}

}  // namespace
}  // namespace varnock::console
