// Makes the compact vendor form that ships beside the Windows programs, from
// the build machine's registries:
//
//   make_vendor_file OUTPUT LIST...
//
// Its stamp names each list and the day it was last changed, one "    NAME
// (YYYY-MM-DD)" line each, which --version shows. The same lists give the
// same bytes. Exits 1 with a message when a list cannot be read.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "console/vendors/vendor_list_file.h"
#include "console/vendors/vendor_registry.h"

namespace {

namespace fs = std::filesystem;
using varnock::console::VendorBlock;

std::string DayChanged(const fs::path& path) {
    const auto since = std::chrono::file_clock::to_sys(fs::last_write_time(path));
    const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(since)};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return text;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace varnock::console;
    if (argc < 3) {
        std::cerr << "usage: make_vendor_file OUTPUT LIST...\n";
        return 2;
    }
    std::string stamp;
    std::vector<VendorBlock> blocks;
    try {
        for (int i = 2; i < argc; ++i) {
            RegularFile opened = OpenVendorList(argv[i]);
            if (!opened.file) {
                throw std::runtime_error(opened.problem);
            }
            auto more = ReadVendorBlocks(*opened.file);
            if (more.empty()) {
                throw std::runtime_error("no vendor in it");
            }
            blocks.insert(blocks.end(), std::make_move_iterator(more.begin()),
                          std::make_move_iterator(more.end()));
            stamp +=
                "    " + fs::path(argv[i]).filename().string() + " (" + DayChanged(argv[i]) + ")\n";
        }
    } catch (const std::exception& failure) {
        std::cerr << "make_vendor_file: " << failure.what() << '\n';
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << VendorRegistry::FromBlocks(std::move(blocks)).Serialize(stamp);
    if (!out.flush()) {
        std::cerr << "make_vendor_file: " << argv[1] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
