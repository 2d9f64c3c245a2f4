// The events a watch told, counted in its record: across restarts they
// only go up.
#include "console/watch/event_totals.h"

#include <gtest/gtest.h>

#include "console/watch/record_file.h"
#include "console/watch/record_file_reader.h"

namespace varnock::console {
namespace {

using Kind = WatchEvent::Kind;

std::variant<WatchRecordRead, std::string> Read(const std::string& events) {
    return ParseWatchRecord("{\"version\": 1, \"neighbours\": [], \"events\": " + events + "}");
}

TEST(EventTotals, ReadBackFromTheRecordAsWritten) {
    EventTotals told;
    told.Add("eth0", Kind::kNew, 7);
    told.Add("eth0", Kind::kBurst, 1);
    told.Add("wlan\xFF", Kind::kChanged, EventTotals::kLargest);
    const auto read = ParseWatchRecord(FormatWatchState({}, told));
    ASSERT_TRUE(std::holds_alternative<WatchRecordRead>(read)) << std::get<std::string>(read);
    EXPECT_EQ(std::get<WatchRecordRead>(read).told.All(), told.All());
}

TEST(EventTotals, ARecordWithoutThemHasToldNone) {
    const auto read = ParseWatchRecord("{\"version\": 1, \"neighbours\": []}");
    ASSERT_TRUE(std::holds_alternative<WatchRecordRead>(read));
    EXPECT_TRUE(std::get<WatchRecordRead>(read).told.Empty());
    // No events told: the file is written as before.
    EXPECT_EQ(FormatWatchState({}), FormatWatchState({}, {}));
    EXPECT_EQ(FormatWatchState({}).find("events"), std::string::npos);
}

TEST(EventTotals, ACountThatCannotBeReadMakesTheRecordUnusable) {
    for (const char* events :
         {"[]", R"({"eth0": 3})", R"({"eth0": {"new": -1}})", R"({"eth0": {"new": "3"}})",
          R"({"eth0": {"new": 9007199254740992}})"}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(Read(events))) << events;
    }
    // A type this program does not know is passed over.
    const auto read = Read(R"({"eth0": {"new": 2, "renamed": 5}})");
    ASSERT_TRUE(std::holds_alternative<WatchRecordRead>(read));
    EXPECT_EQ(std::get<WatchRecordRead>(read).told.All(),
              (std::map<EventTotals::Key, std::uint64_t>{{{"eth0", Kind::kNew}, 2}}));
}

TEST(EventTotals, StopAtTheLargestRatherThanWrap) {
    EventTotals told;
    told.Add("eth0", Kind::kNew, EventTotals::kLargest - 1);
    told.Add("eth0", Kind::kNew, 5);
    EXPECT_EQ(told.All().at({"eth0", Kind::kNew}), EventTotals::kLargest);
}

}  // namespace
}  // namespace varnock::console
