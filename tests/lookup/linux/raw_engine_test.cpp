// The raw method's engine on scripted sockets, as an unprivileged process in
// the namespace lab: the route and the interface are the lab's (the kernel
// answers those over netlink), the sends are the script's, so nothing needs
// CAP_NET_RAW and nothing reaches the wire.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

#include "lookup/linux/raw_neighbour_engine.h"
#include "tests/lab/lab_environment.h"
#include "tests/support/scripted_raw_sockets.h"

namespace varnock::linux_backend {
namespace {

using std::chrono::milliseconds;
using Clock = NeighbourEngine::Clock;

class RawEngineOnScriptedSockets : public ::testing::Test {
protected:
    void SetUp() override {
        if (!lab::Inside()) {
            GTEST_SKIP() << "needs the namespace lab (tests/lab/run-in-lab.sh)";
        }
        auto scripted = std::make_unique<testing::ScriptedRawSockets>();
        sockets_ = scripted.get();
        engine_ = std::make_unique<RawNeighbourEngine>(std::move(scripted), RawMethodSettings{});
    }

    // Runs the lookup to its answer; nothing when the engine still has it in
    // flight long after every schedule it has should have ended.
    std::optional<NeighbourAnswer> LookUp(const std::string& address,
                                          std::optional<milliseconds> maxWait) {
        in_addr parsed{};
        EXPECT_EQ(::inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
        std::optional<NeighbourAnswer> answer;
        engine_->Submit({IpAddress::V4(parsed.s_addr), 0, maxWait, 0},
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
        const auto answer = LookUp(lab::Value("VARNOCK_LAB_ABSENT_HOST"), maxWait);
        ASSERT_TRUE(answer) << "still trying "
                            << (maxWait ? "past its deadline" : "past its tries");
        EXPECT_EQ(answer->status, arp_status::kInterfaceWouldNotSend);
        EXPECT_EQ(answer->systemError, std::strerror(ENOBUFS));
        EXPECT_NE(answer->interfaceIndex, 0u);
        // The full queue was asked again, not given up at the first refusal.
        EXPECT_GT(sockets_->Sends().size() - before, 1u);
    }
}

// A queue full for a moment: the try goes out once it takes frames again,
// and an address that then does not answer is "no answer", asked as often
// as any other.
TEST_F(RawEngineOnScriptedSockets, AQueueFullForAMomentStillAsksEveryTry) {
    sockets_->sendResult = [](std::size_t index) { return index < 3 ? EAGAIN : 0; };
    const auto answer = LookUp(lab::Value("VARNOCK_LAB_ABSENT_HOST"), std::nullopt);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, arp_status::kNoAnswer);
    // Three refused, then each of the two tries out once.
    EXPECT_EQ(sockets_->Sends().size(), 3u + RawMethodSettings{}.tries);
}

}  // namespace
}  // namespace varnock::linux_backend
