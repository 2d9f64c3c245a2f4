#include "console/vendor_names.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "console/system.h"

namespace varnock::console {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCacheFileName = "vendors";

// One read of the whole file: a character at a time would cost more than
// the lookup itself.
std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return std::nullopt;
    }
    const std::streamoff size = file.tellg();
    if (size < 0) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        return std::nullopt;
    }
    return text;
}

// What the compact form was built from: each file's path, size and time, so
// that an updated registry makes a new one.
std::string StampOf(const std::vector<std::string>& files) {
    std::string stamp;
    for (const std::string& path : files) {
        std::error_code error;
        const auto size = fs::file_size(path, error);
        if (error) {
            continue;
        }
        const auto changed = fs::last_write_time(path, error).time_since_epoch().count();
        stamp += path + '\n' + std::to_string(size) + '\n' + std::to_string(changed) + '\n';
    }
    return stamp;
}

std::optional<VendorRegistry> BuildSystemRegistry(const std::vector<std::string>& files) {
    std::vector<VendorBlock> blocks;
    for (const std::string& path : files) {
        if (const auto text = ReadWhole(path)) {
            auto more = ParseVendorBlocks(*text);
            blocks.insert(blocks.end(), std::make_move_iterator(more.begin()),
                          std::make_move_iterator(more.end()));
        }
    }
    if (blocks.empty()) {
        return std::nullopt;
    }
    return VendorRegistry::FromBlocks(std::move(blocks));
}

// Replaced whole (ReplaceFileContents), so that a reader never sees half a
// file; a cache that cannot be written only costs time.
void WriteCache(const fs::path& file, const std::string& bytes) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    (void)ReplaceFileContents(file.string(), bytes);
}

}  // namespace

bool IsLocallyAdministered(const HardwareAddressBytes& bytes) {
    return !bytes.empty() && (bytes[0] & 0x02) != 0;
}

std::optional<std::string_view> VendorNames::Of(const HardwareAddressBytes& bytes) {
    if (!loaded_) {
        Load();
    }
    if (user_) {
        if (const auto name = user_->Find(bytes)) {
            return name;
        }
    }
    return system_ ? system_->Find(bytes) : std::nullopt;
}

void VendorNames::Load() {
    loaded_ = true;
    if (sources_.userFile) {
        if (const auto text = ReadWhole(*sources_.userFile)) {
            user_ = VendorRegistry::FromBlocks(ParseVendorBlocks(*text));
        } else {
            problem_ = "the vendor file \"" + *sources_.userFile + "\" cannot be read";
        }
    }
    const std::string stamp = StampOf(sources_.systemFiles);
    if (stamp.empty()) {
        return;
    }
    std::optional<fs::path> cache;
    if (sources_.cacheDirectory) {
        cache = fs::path(*sources_.cacheDirectory) / kCacheFileName;
        if (const auto file = ReadFileBytes(cache->string())) {
            system_ = VendorRegistry::FromCompact(file, file->bytes, stamp);
            if (system_) {
                return;
            }
        }
    }
    system_ = BuildSystemRegistry(sources_.systemFiles);
    if (system_ && cache) {
        WriteCache(*cache, system_->Serialize(stamp));
    }
}

std::string DescribeVendorSources(const VendorSources& sources) {
    std::string text;
    auto describe = [&](const std::string& path) {
        std::error_code error;
        const auto changed = fs::last_write_time(path, error);
        if (error) {
            return;
        }
        const auto since = std::chrono::file_clock::to_sys(changed);
        const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(since)};
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02u-%02u", static_cast<int>(day.year()),
                      static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
        text += "  " + path + " (" + date + ")\n";
    };
    for (const std::string& path : sources.systemFiles) {
        describe(path);
    }
    if (sources.userFile) {
        describe(*sources.userFile);
    }
    return text.empty() ? "Vendor lists: none found (Debian's ieee-data package has them).\n"
                        : "Vendor lists:\n" + text;
}

}  // namespace varnock::console
