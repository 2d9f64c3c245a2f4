// The page's hooks that the script and the browser tests rely on, the
// device view, and what the page says of records that cannot be read.

#include <gtest/gtest.h>

#include <string>

#include "tests/web/site/site_fixture.h"
#include "web/site/device_filter.h"
#include "web/site/site.h"

namespace varnock::web {
namespace {

using namespace testing;

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

TEST(SitePage, TheTableHasItsHooksAndOneRowPerShownDevice) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::string page = Serve(Get("/", {{"state", "up"}}), snapshot).body;
    EXPECT_NE(page.find("<body data-refresh=\"2000\">"), std::string::npos);
    EXPECT_NE(page.find("<table id=\"devices\">"), std::string::npos);
    EXPECT_NE(page.find("<caption id=\"devices-caption\">"), std::string::npos);
    for (const auto& [column, name] : kSortColumns) {
        EXPECT_NE(page.find(std::string("<th scope=\"col\" data-sort=\"") + name + "\""),
                  std::string::npos)
            << name;
    }
    EXPECT_EQ(CountOf(page, "<tr data-device="), 2u);
    EXPECT_NE(page.find("<tr data-device=\"eth0/02:1A:2B:3C:4D:5E\""), std::string::npos);
    EXPECT_NE(page.find("<a href=\"/device/eth0/02:1A:2B:3C:4D:5E\">"), std::string::npos);
    EXPECT_EQ(CountOf(page, "<abbr class=\"random\" title=\"locally administered (random)\">"), 1u);
    // The filter form keeps what was asked, and the exports carry it.
    EXPECT_NE(page.find("<form id=\"filters\" method=\"get\" action=\"/\""), std::string::npos);
    EXPECT_NE(page.find("<option value=\"up\" selected>"), std::string::npos);
    for (const char* hook :
         {"id=\"q\" name=\"q\"", "id=\"state\" name=\"state\"",
          "id=\"new_since\" name=\"new_since\"", "id=\"random\"", "id=\"unnamed\""}) {
        EXPECT_NE(page.find(hook), std::string::npos) << hook;
    }
    EXPECT_NE(page.find("<a id=\"export-csv\" href=\"/api/v1/devices.csv?state=up\""),
              std::string::npos);
    EXPECT_NE(page.find("<a id=\"export-json\" href=\"/api/v1/devices?state=up\""),
              std::string::npos);
    EXPECT_NE(page.find("<p id=\"counts\" data-total=\"3\" data-up=\"2\" data-stopped=\"1\" "
                        "data-new=\"1\" data-random=\"1\" data-unnamed=\"1\""),
              std::string::npos);
    // No inline script or style: the CSP forbids both.
    EXPECT_EQ(page.find("<style"), std::string::npos);
    EXPECT_EQ(page.find(" style="), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST(SitePage, SortLinksTurnTheOrderOfTheSortedColumn) {
    const std::string page =
        Serve(Get("/", {{"q", "a b&c"}, {"sort", "vendor"}}), MakeSnapshot()).body;
    EXPECT_NE(page.find("data-sort=\"vendor\" aria-sort=\"ascending\"><a class=\"sort\" "
                        "href=\"/?q=a%20b%26c&amp;sort=vendor&amp;order=desc\">"),
              std::string::npos);
    EXPECT_NE(
        page.find("data-sort=\"name\"><a class=\"sort\" href=\"/?q=a%20b%26c&amp;sort=name\">"),
        std::string::npos);
    EXPECT_NE(page.find("<input type=\"hidden\" name=\"sort\" value=\"vendor\">"),
              std::string::npos);
}

TEST(SitePage, RecordsThatCannotBeReadAreShownAsSuch) {
    const std::string page = Serve(Get("/"), MakeSnapshot()).body;
    const std::size_t box = page.find("<div id=\"record-problems\" role=\"alert\">");
    ASSERT_NE(box, std::string::npos);
    const std::string problems = page.substr(box, page.find("</div>", box) - box);
    EXPECT_NE(problems.find("<code>/var/lib/varnock-watch/eth1.json</code> is "
                            "<strong>damaged</strong>: not JSON: line 1"),
              std::string::npos);
    EXPECT_NE(problems.find("<code>/var/lib/varnock-watch/eth2.json</code> is "
                            "<strong>missing</strong>: no such file"),
              std::string::npos);
    EXPECT_EQ(problems.find("eth0.json"), std::string::npos);
    // The bad log line and the bad names line are told apart from them.
    EXPECT_NE(page.find("1 lines that are no event"), std::string::npos);
    EXPECT_NE(page.find("names.txt line 3: not a hardware address"), std::string::npos);
    // The footer gives each record's saved time.
    EXPECT_NE(page.find("4 addresses, saved <time datetime=\"2026-12-07T14:59:30Z\">"),
              std::string::npos);
}

TEST(SitePage, NoRecordsOrOnlyGoodOnesSayWhatTheyAre) {
    console::DeviceNames names;
    const SiteSnapshot none = AssembleSnapshot({}, {}, names, nullptr, At("2026-12-07T15:00:00Z"));
    const std::string empty = Serve(Get("/"), none).body;
    EXPECT_NE(empty.find("<div id=\"record-problems\""), std::string::npos);
    EXPECT_NE(empty.find("No watch record is given"), std::string::npos);

    std::vector<RecordRead> records;
    records.push_back(ReadRecordText("good.json", console::FormatWatchState(Eth0Neighbours()),
                                     At("2026-12-07T14:59:30Z")));
    const SiteSnapshot good =
        AssembleSnapshot(std::move(records), {}, names, nullptr, At("2026-12-07T15:00:00Z"));
    EXPECT_EQ(Serve(Get("/"), good).body.find("record-problems"), std::string::npos);
}

TEST(SitePage, TheDeviceViewShowsAddressesAndHistory) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::string view = Serve(Get("/device/eth0/02:1a:2b:3c:4d:5e"), snapshot).body;
    EXPECT_NE(view.find("<td>192.0.2.2</td><td>IPv4</td><td>yes</td>"), std::string::npos);
    EXPECT_NE(view.find("<td>2001:db8::2</td><td>IPv6</td><td>no</td>"), std::string::npos);
    EXPECT_EQ(CountOf(view, "<tr class=\"event "), 3u);
    EXPECT_NE(view.find("<tr class=\"event stopped\"><td><time datetime=\"2026-12-07T14:20:00Z\">"),
              std::string::npos);
    const std::string changed = Serve(Get("/device/eth0/00:1B:2C:00:00:01"), snapshot).body;
    EXPECT_NE(changed.find("00:1B:2C:00:00:09 → 00:1B:2C:00:00:01"), std::string::npos);

    const std::string noLog =
        Serve(Get("/device/eth0/02:1A:2B:3C:4D:5E"), MakeSnapshot(false)).body;
    EXPECT_NE(noLog.find("no history: the watch keeps no --log"), std::string::npos);
    EXPECT_EQ(noLog.find("<table id=\"history\">"), std::string::npos);
}

}  // namespace
}  // namespace varnock::web
