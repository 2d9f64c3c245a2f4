// The raw method's engine on scripted sockets and scripted routes: its send
// schedule and give-up, with nothing asked of the kernel, nothing needing
// CAP_NET_RAW and nothing reaching the wire.

#include <gtest/gtest.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

#include "lookup/linux/raw_neighbour_engine.h"
#include "tests/support/scripted_neighbours.h"
#include "tests/support/scripted_raw_sockets.h"

namespace varnock::linux_backend {
namespace {

using std::chrono::milliseconds;
using Clock = NeighbourEngine::Clock;

constexpr Ipv4Address kAbsentHost = 0x0a02'00C0;  // 192.0.2.10
constexpr Ipv4Address kClient = 0x0102'00C0;      // 192.0.2.1
constexpr std::uint32_t kLan = 2;

class RawEngineOnScriptedSockets : public ::testing::Test {
protected:
    void SetUp() override {
        // The client's LAN, 192.0.2.1/24 on interface 2, the route to it.
        auto routes = testing::ScriptedRoutes::OnLan(kLan, kClient);
        routes->hardware[kLan] = {2, 0, 0, 0, 0, 1};
        auto scripted = std::make_unique<testing::ScriptedRawSockets>();
        sockets_ = scripted.get();
        engine_ = std::make_unique<RawNeighbourEngine>(std::move(scripted), RawMethodSettings{},
                                                       std::move(routes));
    }

    // Runs the lookup to its answer; nothing when the engine still has it in
    // flight long after every schedule it has should have ended.
    std::optional<NeighbourAnswer> LookUp(Ipv4Address address,
                                          std::optional<milliseconds> maxWait) {
        std::optional<NeighbourAnswer> answer;
        engine_->Submit({IpAddress::V4(address), 0, maxWait, 0},
                        [&](NeighbourEngine::Ticket, NeighbourAnswer&& given) { answer = given; });
        engine_->Run(Clock::now() + std::chrono::seconds(60));
        return answer;
    }

    testing::ScriptedRawSockets* sockets_ = nullptr;  // owned by the engine
    std::unique_ptr<RawNeighbourEngine> engine_;
};

// A queue that refuses every frame (a qdisc over its limit): the lookup
// ends, with the interface's reason, at its deadline or after its tries.
TEST_F(RawEngineOnScriptedSockets, SendsThatAlwaysFailEndWithTheInterfacesReason) {
    sockets_->sendResult = [](std::size_t) { return ENOBUFS; };
    for (const std::optional<milliseconds> maxWait :
         {std::optional(milliseconds(300)), std::optional<milliseconds>()}) {
        const std::size_t before = sockets_->Sends().size();
        const auto answer = LookUp(kAbsentHost, maxWait);
        ASSERT_TRUE(answer) << "still trying "
                            << (maxWait ? "past its deadline" : "past its tries");
        EXPECT_EQ(answer->status, arp_status::kInterfaceWouldNotSend);
        EXPECT_EQ(answer->systemError, std::strerror(ENOBUFS));
        EXPECT_EQ(answer->interfaceIndex, kLan);
        // The full queue was asked again, not given up at the first refusal.
        EXPECT_GT(sockets_->Sends().size() - before, 1u);
    }
}

// A queue full for a moment: the try goes out once it takes frames again,
// and an address that then does not answer is "no answer", asked as often
// as any other.
TEST_F(RawEngineOnScriptedSockets, AQueueFullForAMomentStillAsksEveryTry) {
    sockets_->sendResult = [](std::size_t index) { return index < 3 ? EAGAIN : 0; };
    const auto answer = LookUp(kAbsentHost, std::nullopt);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, arp_status::kNoAnswer);
    // Three refused, then each of the two tries out once.
    EXPECT_EQ(sockets_->Sends().size(), 3u + RawMethodSettings{}.tries);
}

}  // namespace
}  // namespace varnock::linux_backend
