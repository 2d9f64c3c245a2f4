// ReplaceFileContents on Linux: a link planted beside the target is never
// written through, and nothing but the target is left behind.
#include "console/linux/replace_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

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
    const fs::path nowhere = directory / "nowhere";
    std::ofstream(victim) << "keep";
    // Links at the first names it will try: one to a file, one to no file
    // yet (which a plain O_CREAT would make).
    const std::vector<fs::path> names = {directory / "seen.json.tmp-1",
                                         directory / "seen.json.tmp-2",
                                         directory / "seen.json.tmp-3"};
    fs::create_symlink(victim, names[0]);
    fs::create_symlink(nowhere, names[1]);
    std::size_t tried = 0;
    const auto nextName = [&] { return names.at(tried++).string(); };
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_EQ(ReplaceFileContents(target.string(), "new", nextName), std::nullopt);
    EXPECT_EQ(tried, 3u);
    EXPECT_EQ(Contents(target), "new");
    EXPECT_EQ(Contents(victim), "keep");
    EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // Left: the target, the victim and the planted links as they were.
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(directory)) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left,
              (std::set<std::string>{"seen.json", "seen.json.tmp-1", "seen.json.tmp-2", "victim"}));
    EXPECT_EQ(fs::read_symlink(names[0]), victim);

    fs::remove_all(directory);
}

}  // namespace
}  // namespace varnock::console
