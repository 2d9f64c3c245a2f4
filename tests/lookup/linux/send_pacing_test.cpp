#include "lookup/linux/send_pacing.h"

#include <gtest/gtest.h>

#include <limits>

namespace varnock::linux_backend {
namespace {

using namespace std::chrono_literals;

// Offers a packet every `step` for `span` and counts what the pacer lets go.
int Sent(SendPacer& pacer, SendPacer::Clock::time_point& now, std::chrono::microseconds step,
         std::chrono::milliseconds span) {
    int sent = 0;
    for (const auto end = now + span; now < end; now += step) {
        while (pacer.Take(now)) {
            ++sent;
        }
    }
    return sent;
}

TEST(SendPacer, KeepsTheRateWhateverTheCallersTick) {
    for (const auto step : {10us, 1000us, 20000us}) {
        SendPacer pacer(1200);
        SendPacer::Clock::time_point now{100s};
        Sent(pacer, now, step, 100ms);  // past the start's allowance
        // Over 2 s: 2400, give or take what one tick and the catch-up
        // allowance hold.
        EXPECT_NEAR(Sent(pacer, now, step, 2000ms), 2400, 30) << step.count() << " us";
    }
}

TEST(SendPacer, LateSenderCatchesUpOnlyBriefly) {
    SendPacer pacer(1000);
    SendPacer::Clock::time_point now{100s};
    Sent(pacer, now, 100us, 100ms);
    now += 1s;  // not scheduled for a second
    int burst = 0;
    while (pacer.Take(now)) {
        ++burst;
    }
    EXPECT_LE(burst, 26);  // some 25 ms worth, not the second's 1000
    EXPECT_GE(burst, 1);
    EXPECT_GT(pacer.NextSlot(), now);
}

// What the retry schedule promises: the first try waits the first wait;
// later ones wait longer, at most twice the one before, and however many
// tries a caller counts, a wait never shrinks, wraps or reaches zero.
TEST(ReplyWait, GrowsAtMostTwofoldAndNeverShrinksOrWraps) {
    for (const auto first : {1ms, 500ms, 10000ms}) {
        EXPECT_EQ(ReplyWait(first, 1), first);
        EXPECT_EQ(ReplyWait(first, 0), first) << "a try not counted yet is the first";
        auto previous = first;
        for (unsigned attempt = 2; attempt <= 64; ++attempt) {
            const auto wait = ReplyWait(first, attempt);
            EXPECT_GE(wait, previous) << attempt;
            EXPECT_LE(wait, 2 * previous) << attempt;
            previous = wait;
        }
        EXPECT_GT(ReplyWait(first, 2), first);
        EXPECT_GE(ReplyWait(first, std::numeric_limits<unsigned>::max()), previous);
    }
}

}  // namespace
}  // namespace varnock::linux_backend
