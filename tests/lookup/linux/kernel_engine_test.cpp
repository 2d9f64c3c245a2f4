// The kernel's method's engine on the scripted kernel: its routes, table and
// notifications are the script's and its datagrams go nowhere, so the
// confirmation step, the retry from scratch, the give-up and the loss path
// run without privilege or network. Time passes only through Run's `until`.

#include <gtest/gtest.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lookup/linux/netlink_neighbour_engine.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock::linux_backend {
namespace {

using std::chrono::milliseconds;
using testing::ScriptedNotifications;
using Clock = NeighbourEngine::Clock;

constexpr Ipv4Address kHost = 0x0202'00C0;    // 192.0.2.2
constexpr Ipv4Address kClient = 0x0102'00C0;  // 192.0.2.1
constexpr std::uint32_t kLan = 2;
constexpr std::uint32_t kOther = 3;  // another network that also has a 192.0.2.2
const std::vector<std::uint8_t> kOld{2, 0, 0, 0, 0, 0x0a};
const std::vector<std::uint8_t> kNew{2, 0, 0, 0, 0, 0x0b};

rtnl::Neighbour Entry(std::uint16_t state, std::vector<std::uint8_t> hardware = {}) {
    rtnl::Neighbour entry;
    entry.interfaceIndex = kLan;
    entry.destination = IpAddress::V4(kHost);
    entry.state = state;
    entry.hardwareAddress = std::move(hardware);
    return entry;
}

// What a watch would be told, in order: "changed" or "lost N" (N entries).
struct RecordingObserver final : NeighbourObserver {
    void Changed(const NeighbourEntry&) override { told.push_back("changed"); }
    void Lost(const std::vector<NeighbourEntry>& table) override {
        told.push_back("lost " + std::to_string(table.size()));
    }
    bool StopRunning() override { return !told.empty() && told.back().starts_with("lost"); }
    std::vector<std::string> told;
};

// A client whose LAN, 192.0.2.1/24, is on interface 2; interface 3 is up too.
class KernelEngineTest : public ::testing::Test {
protected:
    KernelEngineTest() {
        auto routes = testing::ScriptedRoutes::OnLan(kLan, kClient);
        routes->interfaces[kOther] = {"other", true, true};
        auto notifications = std::make_unique<ScriptedNotifications>();
        auto table = std::make_unique<testing::ScriptedTable>();
        notifications_ = notifications.get();
        table_ = table.get();
        NetlinkNeighbourEngine::Parts parts;
        parts.notifications = std::move(notifications);
        parts.table = std::move(table);
        parts.routes = std::move(routes);
        parts.makeProbe = probes_.Maker();
        engine_ = std::make_unique<NetlinkNeighbourEngine>(ResolverMode::kLive, std::move(parts));
    }

    void Submit(std::optional<milliseconds> maxWait) {
        engine_->Submit({IpAddress::V4(kHost), 0, maxWait, 0},
                        [this](NeighbourEngine::Ticket, NeighbourAnswer&& given) {
                            answer_ = std::move(given);
                        });
    }
    void RunFor(milliseconds bound) { engine_->Run(Clock::now() + bound); }

    testing::ScriptedProbes probes_;                  // outlives the engine's probes
    ScriptedNotifications* notifications_ = nullptr;  // these two owned by the engine
    testing::ScriptedTable* table_ = nullptr;
    std::unique_ptr<NetlinkNeighbourEngine> engine_;
    std::optional<NeighbourAnswer> answer_;
};

// An entry nobody confirmed lately is asked of its host: the datagram goes
// out, and the host's refusal of it, heard on the lookup's own interface,
// confirms the address. The same address refusing on another network is
// another host and confirms nothing.
TEST_F(KernelEngineTest, OnlyARefusalOnTheLookupsOwnInterfaceConfirmsAStaleEntry) {
    table_->entries = {Entry(NUD_STALE, kOld)};
    struct Case {
        std::uint32_t refusedOn;
        std::uint32_t status;
    };
    for (const Case& c : {Case{kLan, arp_status::kOk}, Case{kOther, arp_status::kNotConfirmed}}) {
        SCOPED_TRACE(c.refusedOn);
        answer_.reset();
        probes_.sent.clear();
        Submit(milliseconds(300));
        ASSERT_EQ(probes_.sent.size(), 1U) << "the confirmation datagram";
        EXPECT_TRUE(probes_.sent[0].destination.SameAddress(IpAddress::V4(kHost)));
        probes_.refusals = {{IpAddress::V4(kHost), c.refusedOn}};
        RunFor(std::chrono::seconds(30));
        ASSERT_TRUE(answer_);
        EXPECT_EQ(answer_->status, c.status);
        EXPECT_EQ(answer_->hardwareAddress, kOld);
        EXPECT_EQ(answer_->interfaceIndex, kLan);
    }
}

// The host behind an unconfirmed entry does not answer at its old address:
// the address is resolved once more from scratch (it may have moved), and
// only when that fails too is it "no answer".
TEST_F(KernelEngineTest, AFailedConfirmationIsResolvedFromScratchOnceThenGivenUp) {
    table_->entries = {Entry(NUD_STALE, kOld)};
    Submit(std::nullopt);
    ASSERT_EQ(probes_.sent.size(), 1U);

    table_->entries = {Entry(NUD_FAILED)};
    notifications_->Queue(ScriptedNotifications::Neighbour(kLan, kHost, NUD_FAILED));
    RunFor(milliseconds(100));
    EXPECT_FALSE(answer_) << "gave up without resolving from scratch";
    EXPECT_EQ(probes_.sent.size(), 2U);

    notifications_->Queue(ScriptedNotifications::Neighbour(kLan, kHost, NUD_FAILED));
    RunFor(std::chrono::seconds(30));
    ASSERT_TRUE(answer_);
    EXPECT_EQ(answer_->status, arp_status::kNoAnswer);
    EXPECT_EQ(probes_.sent.size(), 2U) << "resolved from scratch more than once";
}

// Nothing heard and nothing in the table: the lookup ends at its own
// deadline, "no answer" on its interface, with no help from the kernel.
TEST_F(KernelEngineTest, ALookupNobodyAnswersGivesUpAtItsDeadline) {
    Submit(milliseconds(200));
    EXPECT_EQ(probes_.sent.size(), 1U);
    RunFor(std::chrono::seconds(30));
    ASSERT_TRUE(answer_) << "still waiting past its deadline";
    EXPECT_EQ(answer_->status, arp_status::kNoAnswer);
    EXPECT_EQ(answer_->interfaceIndex, kLan);
    EXPECT_EQ(engine_->InFlight(), 0U);
}

// The kernel dropped notifications, and more are queued behind the loss:
// those are older than the table read after it, so the observer hears the
// table and nothing of them, and the waiting lookup is decided on that same
// reading rather than waiting for a notification that was lost.
TEST_F(KernelEngineTest, ALossIsAnsweredFromOneTableReadAndNothingOlderFollowsIt) {
    RecordingObserver observer;
    const auto observed = engine_->Observe(observer, 0);
    ASSERT_TRUE(observed);
    EXPECT_TRUE(observed->empty());
    Submit(std::chrono::seconds(10));
    ASSERT_FALSE(answer_);

    notifications_->QueueLoss();
    notifications_->Queue(ScriptedNotifications::Neighbour(kLan, kHost, NUD_REACHABLE, kOld));
    notifications_->Queue(ScriptedNotifications::Neighbour(kLan, kHost, NUD_FAILED));
    table_->entries = {Entry(NUD_REACHABLE, kNew)};
    const int entriesAskedBefore = table_->entriesAsked;
    RunFor(std::chrono::seconds(30));

    EXPECT_EQ(observer.told, (std::vector<std::string>{"lost 1"}));
    EXPECT_EQ(engine_->LostNotificationBatches(), 1U);
    EXPECT_EQ(notifications_->Queued(), 0U);
    ASSERT_TRUE(answer_);
    EXPECT_EQ(answer_->status, arp_status::kOk);
    EXPECT_EQ(answer_->hardwareAddress, kNew);
    // Observe's reading and the loss's: the lookup asked nothing of its own.
    EXPECT_EQ(table_->wholeAsked, 2);
    EXPECT_EQ(table_->entriesAsked, entriesAskedBefore);
}

}  // namespace
}  // namespace varnock::linux_backend
