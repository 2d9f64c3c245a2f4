// ReplaceFileContents on Linux: a link planted beside the target is never
// written through, and nothing but the target is left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "console/system.h"

namespace varnock::console {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ReplaceFileContents, NeverWritesThroughAPlantedLinkAndLeavesOnlyTheTarget) {
    const fs::path directory = fs::temp_directory_path() / "varnock-replace-test";
    fs::remove_all(directory);
    fs::create_directories(directory);
    const fs::path target = directory / "seen.json";
    const fs::path victim = directory / "victim";
    std::ofstream(victim) << "keep";
    // The names the old routines used, planted.
    for (const char* planted : {"seen.json.new", "seen.json.tmp"}) {
        fs::create_symlink(victim, directory / planted);
    }
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_EQ(ReplaceFileContents(target.string(), "new"), std::nullopt);
    EXPECT_EQ(Contents(target), "new");
    EXPECT_EQ(Contents(victim), "keep");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 4);

    fs::remove_all(directory);
}

}  // namespace
}  // namespace varnock::console
