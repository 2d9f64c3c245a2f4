// The watch as a whole on a scripted table: what it tells, what it keeps,
// and how it ends.
#include "console/metrics/label_text.h"
#include "console/watch/watch_command.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "console/watch/neighbour_record.h"
#include "console/watch/record_file_reader.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock::console {
namespace {

namespace fs = std::filesystem;
using State = NeighbourEntry::State;

// 192.0.2.last, with a hardware address of its own unless told.
NeighbourEntry Entry(std::uint8_t last, State state = State::kAnswering,
                     std::optional<std::uint8_t> hardware = {}) {
    NeighbourEntry entry;
    entry.address = IpAddress::V4(0x0002'00C0u | (std::uint32_t{last} << 24));
    entry.interfaceIndex = 4;
    entry.state = state;
    if (state == State::kAnswering) {
        entry.hardwareAddress = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, hardware.value_or(last)};
    }
    return entry;
}

// The table at the start, then one step of changes per run of the engine
// (changes, or a loss with the table read after it); the watch is asked to
// stop once the script is done.
struct Step {
    std::vector<NeighbourEntry> entries;
    bool lost = false;
};
struct Script {
    std::vector<NeighbourEntry> table;
    std::deque<Step> steps;
    bool done = false;
};

// The engine the watch observes: its lookups are the scripted network's,
// the table's changes the script's.
class ScriptedTableEngine final : public NeighbourEngine {
public:
    ScriptedTableEngine(std::unique_ptr<NeighbourEngine> lookups, Script& script)
        : lookups_(std::move(lookups)), script_(script) {}

    Ticket Submit(const NeighbourQuery& query, Finished finished) override {
        return lookups_->Submit(query, std::move(finished));
    }
    void Cancel(Ticket ticket) override { lookups_->Cancel(ticket); }
    std::size_t InFlight() const override { return lookups_->InFlight(); }
    std::optional<std::vector<NeighbourEntry>> Observe(NeighbourObserver& observer,
                                                       std::uint32_t) override {
        observer_ = &observer;
        return script_.table;
    }
    void Run(Clock::time_point) override {
        // Longer than the grace a FAILED entry gets before it is a stop.
        std::this_thread::sleep_for(2 * NeighbourRecord::kRemovalGrace);
        lookups_->Run(Clock::now());
        if (script_.steps.empty()) {
            script_.done = true;
            return;
        }
        const Step step = std::move(script_.steps.front());
        script_.steps.pop_front();
        if (step.lost) {
            observer_->Lost(step.entries);
        } else {
            for (const auto& entry : step.entries) {
                observer_->Changed(entry);
            }
        }
    }

private:
    std::unique_ptr<NeighbourEngine> lookups_;
    Script& script_;
    NeighbourObserver* observer_ = nullptr;
};

class Watch : public ::testing::Test {
protected:
    Watch() {
        system_.makeEngine = [this](ResolverMode) {
            return std::make_unique<ScriptedTableEngine>(network_.MakeEngine(), script_);
        };
        system_.interfaceNameOf = [](std::uint32_t) { return std::string("eth0"); };
        system_.vendors = {};
        system_.namesFile.reset();
        controls_.stopRequested = [this] { return script_.done; };
        line_.watch = true;
        line_.format = OutputFormat::kJsonLines;
        directory_ = fs::temp_directory_path() /
                     ("varnock-watch-" +
                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
    ~Watch() override { fs::remove_all(directory_); }

    int Run() { return RunWatch(line_, 0, {}, out_, err_, system_, controls_); }
    std::vector<std::string> Types() const {
        std::vector<std::string> types;
        std::istringstream lines(out_.str());
        for (std::string json; std::getline(lines, json);) {
            types.push_back(json.substr(10, json.find('"', 10) - 10));
        }
        return types;
    }

    Script script_;
    testing::ScriptedNeighbours network_;
    CommandSystem system_;
    WatchControls controls_;
    CommandLine line_;
    std::ostringstream out_;
    std::ostringstream err_;
    fs::path directory_;
};

TEST_F(Watch, TellsNewStoppedAndBackWithWhenEachWasSeen) {
    script_.table = {Entry(2)};
    script_.steps = {{{Entry(2, State::kFailed)}}, {{Entry(2)}}, {{Entry(3)}}};
    EXPECT_EQ(Run(), kExitAnswered) << err_.str();
    EXPECT_EQ(Types(), (std::vector<std::string>{"new", "stopped", "back", "new"}));
    EXPECT_NE(out_.str().find("\"first_seen\": \"20"), std::string::npos);
    EXPECT_NE(out_.str().find("\"last_seen\": \"20"), std::string::npos);
}

TEST_F(Watch, AfterLostNotificationsComparesTheTableAndAsksAgainWhatVanished) {
    script_.table = {Entry(2), Entry(3), Entry(4)};
    // While nobody listened: .2 failed, .3 vanished, .4 changed.
    script_.steps = {{{Entry(2, State::kFailed), Entry(4, State::kAnswering, 0x99)}, true}};
    EXPECT_EQ(Run(), kExitAnswered) << err_.str();
    EXPECT_EQ(Types(), (std::vector<std::string>{"new", "new", "new", "changed", "stopped"}));
    const auto calls = network_.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].address, Entry(3).address);
}

TEST_F(Watch, EventsThatCannotBeWrittenEndTheWatchAfterTheRecordIsSaved) {
    line_.stateFile = (directory_ / "seen.json").string();
    script_.table = {Entry(2)};
    script_.steps = {{}, {}, {}};
    out_.setstate(std::ios::badbit);
    EXPECT_EQ(Run(), kExitSystemError);
    EXPECT_NE(err_.str().find("cannot be written to standard output"), std::string::npos);
    EXPECT_FALSE(script_.steps.empty());  // it ended at once
    std::ifstream saved(*line_.stateFile);
    std::stringstream text;
    text << saved.rdbuf();
    EXPECT_NE(text.str().find("192.0.2.2"), std::string::npos);
}

TEST_F(Watch, ADamagedStateFileIsRefusedWithWhereAndLeftAsItIs) {
    line_.stateFile = (directory_ / "seen.json").string();
    const std::string damaged = "{\"version\": 1,\n \"neighbours\": [\"\\u00zz\"]}";
    std::ofstream(*line_.stateFile) << damaged;
    EXPECT_EQ(Run(), kExitUsage);
    EXPECT_NE(err_.str().find("line 2, column 18: a unicode escape needs four"), std::string::npos)
        << err_.str();
    std::ifstream kept(*line_.stateFile);
    std::stringstream text;
    text << kept.rdbuf();
    EXPECT_EQ(text.str(), damaged);
}

TEST_F(Watch, CountsTheEventsToldInItsRecordAcrossRestarts) {
    line_.stateFile = (directory_ / "seen.json").string();
    script_.table = {Entry(2)};
    script_.steps = {{{Entry(2, State::kFailed)}}};
    ASSERT_EQ(Run(), kExitAnswered) << err_.str();
    // Restarted on the same record: .2 comes back, .3 is new.
    script_ = {};
    script_.steps = {{{Entry(2)}}, {{Entry(3)}}};
    ASSERT_EQ(Run(), kExitAnswered) << err_.str();
    std::ifstream saved(*line_.stateFile);
    std::stringstream text;
    text << saved.rdbuf();
    const auto read = ParseWatchRecord(text.str());
    ASSERT_TRUE(std::holds_alternative<WatchRecordRead>(read)) << text.str();
    EXPECT_EQ(std::get<WatchRecordRead>(read).told.All(),
              (std::map<EventTotals::Key, std::uint64_t>{{{"eth0", WatchEvent::Kind::kNew}, 2},
                                                         {{"eth0", WatchEvent::Kind::kStopped}, 1},
                                                         {{"eth0", WatchEvent::Kind::kBack}, 1}}));
}

TEST_F(Watch, WritesItsRecordAsMetricsWithTheNamedDevicesOwnSeries) {
    line_.metricsFile = (directory_ / "watch.prom").string();
    line_.namesFiles = {(directory_ / "names").string()};
    std::ofstream(line_.namesFiles[0]) << "02:1a:2b:3c:4d:02 printer\n";
    script_.table = {Entry(2), Entry(3)};
    script_.steps = {{{Entry(3, State::kFailed)}}};
    ASSERT_EQ(Run(), kExitAnswered) << err_.str();
    std::ifstream written(*line_.metricsFile);
    std::stringstream text;
    text << written.rdbuf();
    const std::string record = "{record=\"" + LabelValue(*line_.metricsFile) + "\"}";
    for (const std::string& line : std::vector<std::string>{
             "varnock_device_up{interface=\"eth0\",hardware_address=\"02:1A:2B:3C:4D:02\"} 1\n",
             "varnock_devices{interface=\"eth0\",known=\"false\"} 1\n",
             "varnock_events_total{interface=\"eth0\",type=\"stopped\"} 1\n",
             "varnock_record_readable" + record + " 1\n",
         }) {
        EXPECT_NE(text.str().find(line), std::string::npos) << line << "not in:\n" << text.str();
    }
}

}  // namespace
}  // namespace varnock::console
