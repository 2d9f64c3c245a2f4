// --exec's runs on Linux: one past its time limit is killed and reported,
// and the events behind it still get their turn.
#include "console/event_hook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace varnock::console {
namespace {

namespace fs = std::filesystem;
using std::chrono_literals::operator""ms;

TEST(EventHook, ARunPastItsTimeLimitIsKilledAndTheNextEventStillRuns) {
    const fs::path directory = fs::temp_directory_path() / "varnock-hook-test";
    fs::remove_all(directory);
    fs::create_directories(directory);
    const fs::path hook = directory / "hook";
    const fs::path ran = directory / "ran";
    // The first run hangs; the second leaves a mark.
    std::ofstream(hook) << "#!/bin/sh\nif [ -e " << ran << ".1 ]; then touch " << ran
                        << ".2; else touch " << ran << ".1; exec sleep 60; fi\n";
    fs::permissions(hook, fs::perms::owner_all);

    const auto events = MakeEventHook(hook.string(), 300ms);
    events->Queue({"{}", {}});
    events->Queue({"{}", {}});
    std::vector<std::string> reports;
    // Loosely bounded: the limit is 0.3 s; a slow machine gets 30 s.
    for (int turn = 0; turn < 3000 && (events->Busy() || reports.empty()); ++turn) {
        for (auto& report : events->Advance()) {
            reports.push_back(std::move(report));
        }
        std::this_thread::sleep_for(10ms);
    }
    (void)events->Finish();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "--exec " + hook.string() + ": took longer than 300 ms and was stopped");
    EXPECT_TRUE(fs::exists(ran.string() + ".2"));
    fs::remove_all(directory);
}

}  // namespace
}  // namespace varnock::console
