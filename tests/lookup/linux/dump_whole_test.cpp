#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {
namespace {

// A kernel whose dumps end as `endings` says, one after the other; each
// hands over one message before it ends, as an interrupted dump does.
std::vector<int> DumpWith(std::vector<int> endings, int& asked) {
    std::vector<int> kept;  // the message count of each try, as the taker saw it
    asked = 0;
    DumpWhole(
        [&](nlmsghdr* request, const std::function<void(const nlmsghdr&)>& take) {
            take(*request);
            return endings.at(static_cast<std::size_t>(asked++));
        },
        rtnl::BuildNeighbourDump, [&] { kept.push_back(0); },
        [&](const nlmsghdr&) { ++kept.back(); }, "neighbour table");
    return kept;
}

TEST(DumpWhole, AsksAgainAfterAnInterruptionAndKeepsOnlyTheWholeDump) {
    int asked = 0;
    EXPECT_EQ(DumpWith({EINTR, 0}, asked), (std::vector<int>{1, 1}));
    EXPECT_EQ(asked, 2);
}

TEST(DumpWhole, ReportsWhatNeverCameWholeOrFailed) {
    for (const int ending : {EINTR, ENOBUFS}) {
        int asked = 0;
        try {
            DumpWith({ending, ending, ending, 0}, asked);
            ADD_FAILURE() << "a dump ending in " << ending << " was used";
        } catch (const std::system_error& failure) {
            EXPECT_EQ(failure.code().value(), ending);
            EXPECT_NE(std::string(failure.what()).find("neighbour table"), std::string::npos);
        }
        // Interrupted dumps are asked a few times; another error, once.
        EXPECT_EQ(asked, ending == EINTR ? 3 : 1);
    }
}

}  // namespace
}  // namespace varnock::linux_backend
