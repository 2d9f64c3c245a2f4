#include "lookup/mac_query.h"

#include <gtest/gtest.h>

#include <new>
#include <system_error>

#include "tests/lookup/allocation_failure.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock {
namespace {

using testing::ScriptedNeighbours;

constexpr Ipv4Address kDocumentationHost = 0x0202'00C0;  // 192.0.2.2, network order

class QueryMacAddressTest : public ::testing::Test {
protected:
    QueryMacAddressTest() { request.reply = testing::Answer({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}); }

    Flag Query(const std::string& address) { return QueryMacAddress(address, text, ":", request); }

    ScriptedNeighbours request;
    std::string text = "before";
};

TEST_F(QueryMacAddressTest, AnsweredHostGivesTrueAndTheText) {
    EXPECT_EQ(Query("192.0.2.2"), kTrue);
    EXPECT_EQ(text, "00:1A:2B:3C:4D:5E");
    // The request is asked for six bytes, for the parsed address, letting
    // the system choose the source.
    ASSERT_EQ(request.CallCount(), 1u);
    EXPECT_EQ(request.Calls()[0].destination, kDocumentationHost);
    EXPECT_EQ(request.Calls()[0].source, 0u);
    EXPECT_EQ(request.Calls()[0].requestedLength, 6u);
}

TEST_F(QueryMacAddressTest, DelimiterIsPassedThrough) {
    EXPECT_EQ(QueryMacAddress("192.0.2.2", text, "-", request), kTrue);
    EXPECT_EQ(text, "00-1A-2B-3C-4D-5E");
}

TEST_F(QueryMacAddressTest, ZeroAddressSendsNoRequest) {
    for (const char* zero : {"0.0.0.0", "0", "0x0"}) {
        SCOPED_TRACE(zero);
        EXPECT_EQ(Query(zero), kFalse);
        EXPECT_EQ(text, "before");
    }
    EXPECT_EQ(request.CallCount(), 0u);
}

TEST_F(QueryMacAddressTest, RejectedTextIsStillSentAsAllOnes) {
    // inet_addr's INADDR_NONE goes to the request, which refuses it.
    request.reply.status = arp_status::kNotUnicast;
    EXPECT_EQ(Query("abc"), kFalse);
    ASSERT_EQ(request.CallCount(), 1u);
    EXPECT_EQ(request.Calls()[0].destination, 0xFFFF'FFFFu);
    EXPECT_EQ(text, "before");
}

TEST_F(QueryMacAddressTest, FalseLeavesTheCallersTextAlone) {
    struct Case {
        const char* why;
        std::uint32_t status;
        std::vector<std::uint8_t> reply;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"no answer", arp_status::kNoAnswer, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 6},
        {"any non-zero status", 1, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 6},
        // Success claimed, but the first four bytes are zero.
        {"zero first word", arp_status::kOk, {0x00, 0x00, 0x00, 0x00, 0x4D, 0x5E}, 6},
        {"zero length", arp_status::kOk, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 0},
        // A faulty request claiming more than the buffer holds.
        {"length past the buffer", arp_status::kOk, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 9},
    };
    for (const auto& [why, status, reply, length] : cases) {
        SCOPED_TRACE(why);
        request.reply.status = status;
        request.reply.bytes = reply;
        request.reply.length = length;
        EXPECT_EQ(Query("192.0.2.2"), kFalse);
        EXPECT_EQ(text, "before");
    }
}

TEST_F(QueryMacAddressTest, AnswerOfAnotherLengthIsTrueWithTheEmptyText) {
    for (std::uint32_t length : {4u, 5u, 7u, 8u}) {
        SCOPED_TRACE(length);
        text = "before";
        request.reply.length = length;
        EXPECT_EQ(Query("192.0.2.2"), kTrue);
        EXPECT_EQ(text, "");
    }
}

TEST_F(QueryMacAddressTest, FailureToFormatIsTrueWithError) {
    // The array of bytes is made, then the text cannot be.
    const std::string longDelimiter(40, ':');
    Flag found = kFalse;
    {
        testing::AllocationFailure noMemory(1);
        found = QueryMacAddress("192.0.2.2", text, longDelimiter, request);
    }
    EXPECT_EQ(found, kTrue);
    EXPECT_EQ(text, "ERROR");
}

TEST_F(QueryMacAddressTest, FailuresOfTheRequestPropagate) {
    request.reply.before = [] {
        throw std::system_error(EMFILE, std::generic_category(), "netlink socket");
    };
    try {
        Query("192.0.2.2");
        FAIL() << "the failure was swallowed";
    } catch (const std::system_error& failure) {
        EXPECT_EQ(failure.code().value(), EMFILE);
    }
    EXPECT_EQ(text, "before");
}

TEST_F(QueryMacAddressTest, RunningOutOfMemoryPropagatesWithTheTextUntouched) {
    // The caller's copy of a long address text is the first allocation.
    const std::string longText = "192.0.2.2" + std::string(64, ' ');
    bool threw = false;
    {
        testing::AllocationFailure noMemory;
        try {
            QueryMacAddress(longText, text, ":", request);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
    }
    EXPECT_TRUE(threw);
    EXPECT_EQ(text, "before");
}

}  // namespace
}  // namespace varnock
