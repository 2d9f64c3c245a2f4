// /metrics from the site's snapshot: the records' devices, names, events
// and health as the formatter (tested in tests/metrics) writes them.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "console/metrics/metrics_text.h"
#include "tests/web/site/site_fixture.h"
#include "web/site/site.h"

namespace varnock::web {
namespace {

using namespace testing;

bool HasLine(const std::string& text, const std::string& line) {
    std::istringstream lines(text);
    for (std::string each; std::getline(lines, each);) {
        if (each == line) {
            return true;
        }
    }
    return false;
}

TEST(MetricsPage, TellsTheRecordsDevicesNamesAndEvents) {
    console::EventTotals told;
    told.Add("eth0", console::WatchEvent::Kind::kChanged, 3);
    std::vector<RecordRead> records;
    records.push_back(ReadRecordText("/var/lib/varnock-watch/eth0.json",
                                     console::FormatWatchState(Eth0Neighbours(), told),
                                     At("2026-12-07T14:59:30Z")));
    records.push_back(UnreadableRecord("/var/lib/varnock-watch/eth2.json",
                                       RecordStatus::State::kMissing, "no such file"));
    const auto noVendor = [](const HardwareAddressBytes&) { return std::optional<std::string>(); };
    const SiteSnapshot snapshot =
        AssembleSnapshot(std::move(records), {}, Names(), noVendor, At("2026-12-07T15:00:00Z"));

    const HttpResponse response = Serve(Get("/metrics"), snapshot);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.contentType, console::kMetricsContentType);
    const std::string& text = response.body;
    for (
        const std::string line : {
            R"(varnock_device_info{interface="eth0",hardware_address="02:1A:2B:3C:4D:5E",name="printer",addresses="192.0.2.2,2001:db8::2"} 1)",
            R"(varnock_device_up{interface="eth0",hardware_address="02:1A:2B:3C:4D:5E"} 1)",
            R"(varnock_device_up{interface="eth0",hardware_address="00:1B:2C:00:00:01"} 1)",
            R"(varnock_devices{interface="eth0",known="false"} 1)",
            R"(varnock_devices{interface="eth0",known="true"} 2)",
            R"(varnock_neighbours{interface="eth0",family="ipv6",state="stopped"} 1)",
            R"(varnock_events_total{interface="eth0",type="changed"} 3)",
            R"(varnock_record_readable{record="/var/lib/varnock-watch/eth0.json"} 1)",
            R"(varnock_record_readable{record="/var/lib/varnock-watch/eth2.json"} 0)",
            R"(varnock_record_saved_timestamp_seconds{record="/var/lib/varnock-watch/eth0.json"} 1796655570)",
        }) {
        EXPECT_TRUE(HasLine(text, line)) << line << "\nnot in:\n" << text;
    }
    // The unknown device is counted, never named in a series of its own.
    EXPECT_EQ(text.find("00:1B:2C:3D:4E:5F"), std::string::npos);
}

}  // namespace
}  // namespace varnock::web
