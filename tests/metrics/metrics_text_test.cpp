// The metrics' text: the fixture's golden text, and what keeps the series
// bounded and each thing counted once.
#include "console/metrics/metrics_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "metrics_fixture.h"

namespace varnock::console {
namespace {

std::string FileText(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The lines of `text` that start with `start` ("varnock_devices{", ...).
std::vector<std::string> Samples(const std::string& text, const std::string& start) {
    std::vector<std::string> samples;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) == 0) {
            samples.push_back(line);
        }
    }
    return samples;
}

const DeviceNameOf kNobodyNamed = [](const HardwareAddressBytes&) -> const std::string* {
    return nullptr;
};

TEST(MetricsText, FixtureGivesTheGoldenText) {
    const MetricsFixture fixture;
    // After a deliberate change, print_fixture_metrics writes the file anew.
    EXPECT_EQ(fixture.Text(), FileText(VARNOCK_METRICS_GOLDEN));
}

TEST(MetricsText, UnknownDevicesAreCountedNeverListed) {
    const auto textOf = [](std::uint8_t devices) {
        std::vector<SeenNeighbour> seen;
        for (std::uint8_t i = 1; i <= devices; ++i) {
            seen.push_back(
                {V4(192, 0, 2, i), "eth0", {0x02, 0, 0, 0, 0, i}, At(14, i), At(15, 0), true});
        }
        const std::vector<RecordMetrics> records{{"r.json", true, At(15, 0), seen, nullptr}};
        return FormatMetrics(records, kNobodyNamed, "1");
    };
    const std::string one = textOf(1);
    const std::string many = textOf(200);
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), std::count(many.begin(), many.end(), '\n'));
    EXPECT_EQ(Samples(many, "varnock_devices{"),
              (std::vector<std::string>{R"(varnock_devices{interface="eth0",known="false"} 200)",
                                        R"(varnock_devices{interface="eth0",known="true"} 0)"}));
    // The newest of them is the one first seen last (at 14:200 = 17:20).
    EXPECT_EQ(
        Samples(many, "varnock_newest_unknown_device_first_seen_timestamp_seconds{"),
        std::vector<std::string>{
            "varnock_newest_unknown_device_first_seen_timestamp_seconds{interface=\"eth0\"} " +
            std::to_string(
                std::chrono::floor<std::chrono::seconds>(At(17, 20)).time_since_epoch().count())});
    EXPECT_TRUE(Samples(many, "varnock_device_up{").empty());
}

TEST(MetricsText, EachRecordAndEachAddressCountsOnce) {
    const HardwareAddressBytes host{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const std::vector<SeenNeighbour> older{
        {V4(192, 0, 2, 2), "eth0", host, At(9, 0), At(10, 0), false}};
    const std::vector<SeenNeighbour> newer{
        {V4(192, 0, 2, 2), "eth0", host, At(9, 0), At(11, 0), true}};
    EventTotals events;
    events.Add("eth0", WatchEvent::Kind::kNew, 1);
    // The same file named twice, and a second watch on the same interface
    // whose record saw the address later.
    const std::vector<RecordMetrics> records{
        {"a.json", true, At(10, 0), older, &events},
        {"a.json", true, At(10, 0), older, &events},
        {"b.json", true, At(11, 0), newer, &events},
    };
    const std::string text = FormatMetrics(records, kNobodyNamed, "1");
    EXPECT_EQ(Samples(text, "varnock_neighbours{interface=\"eth0\",family=\"ipv4\""),
              (std::vector<std::string>{
                  R"(varnock_neighbours{interface="eth0",family="ipv4",state="answering"} 1)",
                  R"(varnock_neighbours{interface="eth0",family="ipv4",state="stopped"} 0)"}));
    EXPECT_EQ(Samples(text, "varnock_record_readable{").size(), 2u);
    // Two watches told their own events: both count.
    EXPECT_EQ(Samples(text, "varnock_events_total{interface=\"eth0\",type=\"new\"}"),
              std::vector<std::string>{R"(varnock_events_total{interface="eth0",type="new"} 2)"});
}

}  // namespace
}  // namespace varnock::console
