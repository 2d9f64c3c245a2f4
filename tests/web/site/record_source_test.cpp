// The record source over real files: what it reads, what it says of files
// it cannot use, and that it reads again what changed.

#include "web/site/record_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/web/site/site_fixture.h"

namespace varnock::web {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class RecordSourceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("record_source_test_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "state");
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Written whole under another name and renamed over, as the watch does.
    std::string Write(const fs::path& relative, const std::string& text) {
        const fs::path path = folder_ / relative;
        const fs::path temporary = path.string() + ".tmp-x";
        std::ofstream(temporary, std::ios::binary) << text;
        fs::rename(temporary, path);
        return path.string();
    }
    std::string Path(const fs::path& relative) const { return (folder_ / relative).string(); }

    RecordPaths Paths() const {
        RecordPaths paths;
        paths.vendors.systemFiles = {};  // no vendor lists: results must not depend on them
        return paths;
    }

    fs::path folder_;
};

const RecordStatus* RecordAt(const SiteSnapshot& snapshot, const std::string& path) {
    for (const RecordStatus& record : snapshot.records) {
        if (record.path == path) {
            return &record;
        }
    }
    return nullptr;
}

TEST_F(RecordSourceFiles, ReadsRecordsLogsAndNamesAndSaysWhatItCannot) {
    const std::string good = Write("state/eth0.json", console::FormatWatchState(Eth0Neighbours()));
    const std::string damaged = Write("state/eth1.json", "{\"version\": 2, \"neighbours\": []}");
    Write("state/eth0.jsonl", EventLog());
    Write("state/notes.txt", "not a record");
    Write("ethers", "02:1a:2b:3c:4d:5e old-name\n");
    const std::string names = Write("names", "02-1A-2B-3C-4D-5E printer # by the stairs\n");
    RecordPaths paths = Paths();
    paths.stateDirectory = Path("state");
    paths.stateFiles = {Path("absent.json"), Path("state")};
    paths.systemNamesFile = Path("ethers");
    paths.namesFiles = {names};

    RecordSource source(std::move(paths));
    const auto snapshot = source.Current();
    ASSERT_EQ(snapshot->records.size(), 4u);
    EXPECT_EQ(RecordAt(*snapshot, Path("absent.json"))->state, RecordStatus::State::kMissing);
    EXPECT_EQ(RecordAt(*snapshot, Path("state"))->state, RecordStatus::State::kUnreadable);
    EXPECT_EQ(RecordAt(*snapshot, Path("state"))->problem, "a directory, not a file");
    const RecordStatus* refused = RecordAt(*snapshot, damaged);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->state, RecordStatus::State::kDamaged);
    EXPECT_EQ(refused->problem, "not a state file of this version of the program");
    const RecordStatus* read = RecordAt(*snapshot, good);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->state, RecordStatus::State::kReadable);
    EXPECT_EQ(read->neighbours, 4u);
    EXPECT_EQ(read->saved->time_since_epoch().count() > 0, true);

    ASSERT_EQ(snapshot->devices.size(), 3u);
    const Device* printer = snapshot->Find("eth0", kPrinter);
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->name->name, "printer");  // --names after /etc/ethers
    EXPECT_EQ(printer->addresses.size(), 2u);
    EXPECT_EQ(snapshot->HistoryOf(*printer).size(), 3u);
    ASSERT_EQ(snapshot->logs.size(), 1u);
    EXPECT_EQ(snapshot->logs[0].badLines, 1u);
}

TEST_F(RecordSourceFiles, ReadsAgainOnlyWhatChanged) {
    const std::string record = Write("eth0.json", console::FormatWatchState({}));
    RecordPaths paths = Paths();
    paths.stateFiles = {record};
    paths.namesFiles = {Write("names", "")};
    RecordSource source(std::move(paths), std::chrono::steady_clock::duration::zero());
    const auto empty = source.Current();
    EXPECT_TRUE(empty->devices.empty());
    EXPECT_EQ(source.Current(), empty);  // nothing changed: the same snapshot

    Write("eth0.json", console::FormatWatchState(Eth0Neighbours()));  // a new inode
    const auto full = source.Current();
    EXPECT_EQ(full->devices.size(), 3u);
    EXPECT_FALSE(full->devices[0].name);

    Write("names", "02:1a:2b:3c:4d:5e printer\n");
    const auto named = source.Current();
    ASSERT_NE(named->Find("eth0", kPrinter), nullptr);
    EXPECT_EQ(named->Find("eth0", kPrinter)->name->name, "printer");

    fs::remove(record);
    const auto gone = source.Current();
    EXPECT_TRUE(gone->devices.empty());
    EXPECT_EQ(gone->records.at(0).state, RecordStatus::State::kMissing);
}

TEST_F(RecordSourceFiles, ReadsWhatTheWatchAddsToItsLogAndOnlyWholeLines) {
    const std::string log = EventLog();
    const std::size_t second = log.find('\n') + 1;
    RecordPaths paths = Paths();
    paths.logFiles = {Write("events.jsonl", log.substr(0, second + 20))};  // a line half written
    RecordSource source(std::move(paths), std::chrono::steady_clock::duration::zero());
    EXPECT_EQ(source.Current()->events.size(), 1u);
    EXPECT_EQ(source.Current()->logs.at(0).badLines, 0u);

    std::ofstream(Path("events.jsonl"), std::ios::app) << log.substr(second + 20);  // appended
    const auto appended = source.Current();
    EXPECT_EQ(appended->events.size(), 5u);
    EXPECT_EQ(appended->logs.at(0).badLines, 1u);  // the fixture's own cut line

    Write("events.jsonl", log.substr(0, second));  // rotated: another file under the name
    EXPECT_EQ(source.Current()->events.size(), 1u);
    EXPECT_EQ(source.Current()->logs.at(0).badLines, 0u);
}

TEST_F(RecordSourceFiles, LooksAtTheFilesNoMoreOftenThanAsked) {
    const std::string record = Write("eth0.json", console::FormatWatchState({}));
    RecordPaths paths = Paths();
    paths.stateFiles = {record};
    RecordSource source(std::move(paths), std::chrono::hours(1));
    const auto first = source.Current();
    Write("eth0.json", console::FormatWatchState(Eth0Neighbours()));
    EXPECT_EQ(source.Current(), first);
}

// Threads that ask while the record is replaced each get a whole snapshot,
// before or after, never one in between.
TEST_F(RecordSourceFiles, ThreadsAskingWhileTheRecordChangesGetWholeSnapshots) {
    const std::string empty = console::FormatWatchState({});
    const std::string full = console::FormatWatchState(Eth0Neighbours());
    RecordPaths paths = Paths();
    paths.stateFiles = {Write("eth0.json", empty)};
    RecordSource source(std::move(paths), std::chrono::steady_clock::duration::zero());
    std::atomic<bool> whole{true};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            for (int round = 0; round < 200; ++round) {
                const auto snapshot = source.Current();
                const std::size_t devices = snapshot->devices.size();
                whole = whole && (devices == 0 || devices == 3);
            }
        });
    }
    for (int round = 0; round < 50; ++round) {
        Write("eth0.json", round % 2 == 0 ? full : empty);
    }
    Write("eth0.json", full);
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_TRUE(whole);
    EXPECT_EQ(source.Current()->devices.size(), 3u);
}

TEST(EventLog, ReadsTheWatchsLinesAndCountsTheRest) {
    const LogRead read = ReadEventLog(EventLog() + "\n  \n{}\n[1]\n\xff\n", "log");
    EXPECT_EQ(read.events.size(), 5u);
    EXPECT_EQ(read.status.badLines, 4u);  // the cut line, {}, [1], not UTF-8
    const LogEvent& changed = read.events[3];
    EXPECT_EQ(changed.type, "changed");
    EXPECT_EQ(changed.interfaceName, "eth0");
    EXPECT_EQ(changed.hardwareAddress, kHostileName);
    EXPECT_EQ(HardwareAddressText(changed.previous, ":"), "00:1B:2C:00:00:09");
    EXPECT_EQ(changed.address, "192.0.2.3");
    EXPECT_EQ(changed.json.front(), '{');
    EXPECT_EQ(changed.json.back(), '}');
    const auto burst =
        ParseEventLine(R"({"type": "burst", "time": "2026-12-07T14:00:00Z", "interface": "eth0", )"
                       R"("hardware_address": "02:1A:2B:3C:4D:5E", "count": 40, )"
                       R"("addresses": ["192.0.2.20", "192.0.2.21"]})");
    ASSERT_TRUE(burst);
    EXPECT_EQ(burst->count, "40");
    EXPECT_EQ(burst->addresses, (std::vector<std::string>{"192.0.2.20", "192.0.2.21"}));
    EXPECT_FALSE(ParseEventLine(R"({"type": "new", "time": "today", "interface": "eth0", )"
                                R"("hardware_address": "02:1A:2B:3C:4D:5E"})"));
}

}  // namespace
}  // namespace varnock::web
