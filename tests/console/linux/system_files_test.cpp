// The files the program reads besides its arguments: a vendor list is used
// only when it is a regular file of a bounded size, found without waiting;
// any other is named in a warning and the others still answer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/vendors/vendor_list_file.h"
#include "console/vendors/vendor_names.h"

namespace varnock::console {
namespace {

namespace fs = std::filesystem;

TEST(SystemFiles, OnlyRegularVendorListsOfBoundedSizeAreOpened) {
    const fs::path folder = fs::temp_directory_path() / "varnock-system-files-test";
    fs::remove_all(folder);
    fs::create_directories(folder / "folder");
    std::ofstream(folder / "list.txt") << "02:1A:2B\tLab\n";
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::ofstream(folder / "huge.txt").close();
    fs::resize_file(folder / "huge.txt", kLargestVendorList + 1);  // sparse: no disk used
    const struct {
        const char* name;
        const char* problem;  // none: opened
        bool missing;
    } cases[] = {
        {"list.txt", "", false},
        {"folder", "a directory, not a list", false},
        {"fifo", "not a regular file", false},  // and no writer was waited for
        {"huge.txt", "larger than 16 MiB", false},
        {"absent.txt", "No such file or directory", true},
    };
    VendorSources sources{{}, (folder / "folder").string(), {}};
    std::vector<std::string> warnings;
    for (const auto& [name, problem, missing] : cases) {
        SCOPED_TRACE(name);
        const RegularFile opened = OpenVendorList((folder / name).string());
        EXPECT_EQ(opened.problem, problem);
        EXPECT_EQ(opened.file != nullptr, std::string(problem).empty());
        EXPECT_EQ(opened.missing, missing);
        sources.systemFiles.push_back((folder / name).string());
        if (!missing && !opened.file) {
            warnings.push_back("vendor list \"" + sources.systemFiles.back() +
                               "\" skipped: " + problem);
        }
    }
    // The same, as the lists of a run: warnings, and the list that is one.
    VendorNames names(sources);
    EXPECT_EQ(names.Of({0x02, 0x1A, 0x2B, 0x00, 0x00, 0x01}), "Lab");
    warnings.insert(warnings.begin(), "vendor list \"" + (folder / "folder").string() +
                                          "\" skipped: a directory, not a list");
    EXPECT_EQ(names.TakeProblems(), warnings);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace varnock::console
