// The Get command's failure table, against a scripted request.

#include "window/get_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <system_error>

#include "tests/support/scripted_neighbours.h"

namespace varnock {
namespace {

using testing::Answer;
using testing::Fails;
using testing::ScriptedNeighbours;

ScriptedNeighbours::Reply Throws(std::function<void()> thrower) {
    ScriptedNeighbours::Reply reply;
    reply.before = std::move(thrower);
    return reply;
}

struct Row {
    const char* name;
    std::string address;
    ScriptedNeighbours::Reply reply;
    std::optional<std::size_t> requests;  // none: the platform's inet_addr decides
    GetCommandOutcome outcome;
};

TEST(GetCommand, FollowsTheFailureTable) {
    const Row rows[] = {
        {"empty address", "", Answer({0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), 0, {}},
        {"host answers",
         "192.0.2.2",
         Answer({0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}),
         1,
         {"00:1A:2B:3C:4D:5E", false}},
        {"answer of 4 bytes", "192.0.2.2", Answer({0, 0x1A, 0x2B, 0x3C}), 1, {"", false}},
        {"no answer", "192.0.2.77", Fails(arp_status::kNoAnswer), 1, {"", true}},
        {"zero address sends nothing", "0.0.0.0", Answer({1, 2, 3, 4, 5, 6}), 0, {"", true}},
        {"a single space is not empty",
         " ",
         Fails(arp_status::kNoAnswer),
         std::nullopt,
         {"", true}},
        {"request throws system_error",
         "192.0.2.2",
         Throws(
             [] { throw std::system_error(std::make_error_code(std::errc::too_many_files_open)); }),
         1,
         {std::nullopt, true}},
        {"request throws anything", "192.0.2.2", Throws([] { throw 42; }), 1, {std::nullopt, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedNeighbours request;
        request.reply = row.reply;
        EXPECT_EQ(GetCommandHasWork(row.address), !row.address.empty());
        EXPECT_EQ(RunGetCommand(row.address, request), row.outcome);
        if (row.requests) {
            EXPECT_EQ(request.CallCount(), *row.requests);
        }
    }
}

}  // namespace
}  // namespace varnock
