#include "console/vendors/vendor_names.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <system_error>
#include <utility>

#include "console/system.h"
#include "console/text/terminal_text.h"
#include "console/vendors/vendor_list_file.h"

namespace varnock::console {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCacheFileName = "vendors";

// The compact form in a file, read a record at a time as lookups need it.
// Another process may cut or replace the file at any time: a replaced file
// stays the one opened, and a cut one gives short reads, which the registry
// takes as damage; neither can crash the process, as a mapping would.
class CompactFile final : public CompactBytes {
public:
    explicit CompactFile(RegularFile opened) : opened_(std::move(opened)) {}
    std::uint64_t Size() const override { return opened_.size; }
    bool ReadAt(std::uint64_t at, std::span<char> into) const override {
        try {
            return opened_.file->ReadAt(at, into) == into.size();
        } catch (const std::system_error&) {
            return false;
        }
    }

private:
    RegularFile opened_;
};

// Nothing when it cannot be used.
std::shared_ptr<const CompactBytes> OpenCompactFile(const std::string& path) {
    RegularFile opened = OpenRegularFile(path);
    if (!opened.file || opened.size > kLargestVendorCache) {
        return nullptr;
    }
    return std::make_shared<const CompactFile>(std::move(opened));
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
    if (!system_) {
        return std::nullopt;
    }
    const auto name = system_->Find(bytes);
    if (!name && system_->Damaged() && !damaged_) {
        // The cache was damaged under us: made anew from the registries,
        // once. The old registry stays, for the names it has handed out.
        damaged_ = std::move(system_);
        system_.reset();
        LoadSystemLists(false);
        return system_ ? system_->Find(bytes) : std::nullopt;
    }
    return name;
}

void VendorNames::Warn(const std::string& path, const std::string& why) {
    problems_.push_back("vendor list " + Quoted(path) + " skipped: " + TerminalText(why));
}

void VendorNames::Load() {
    loaded_ = true;
    if (sources_.userFile) {
        RegularFile opened = OpenVendorList(*sources_.userFile);
        try {
            if (opened.file) {
                user_ = VendorRegistry::FromBlocks(ReadVendorBlocks(*opened.file));
            }
        } catch (const std::system_error& failure) {
            opened.problem = failure.code().message();
        }
        if (!user_) {
            Warn(*sources_.userFile, opened.problem);
        }
    }
    LoadSystemLists(true);
}

void VendorNames::LoadSystemLists(bool trustCache) {
    // What the compact form is built from: each list's path, size and time,
    // so that an updated registry makes a new one.
    std::string stamp;
    std::vector<std::pair<std::string, RegularFile>> lists;
    for (const std::string& path : sources_.systemFiles) {
        RegularFile opened = OpenVendorList(path);
        if (!opened.file) {
            if (!opened.missing) {
                Warn(path, opened.problem);
            }
            continue;
        }
        stamp += path + '\n' + std::to_string(opened.size) + '\n' + std::to_string(opened.changed) +
                 '\n';
        lists.emplace_back(path, std::move(opened));
    }
    if (lists.empty()) {
        LoadShipped();
        return;
    }
    std::optional<fs::path> cache;
    if (sources_.cacheDirectory) {
        cache = fs::path(*sources_.cacheDirectory) / kCacheFileName;
        if (auto bytes = trustCache ? OpenCompactFile(cache->string()) : nullptr) {
            system_ = VendorRegistry::FromCompact(std::move(bytes), stamp);
            if (system_) {
                return;
            }
        }
    }
    std::vector<VendorBlock> blocks;
    for (auto& [path, opened] : lists) {
        try {
            auto more = ReadVendorBlocks(*opened.file);
            blocks.insert(blocks.end(), std::make_move_iterator(more.begin()),
                          std::make_move_iterator(more.end()));
        } catch (const std::system_error& failure) {
            Warn(path, failure.code().message());
        }
    }
    if (blocks.empty()) {
        return;
    }
    system_ = VendorRegistry::FromBlocks(std::move(blocks));
    if (cache) {
        WriteCache(*cache, system_->Serialize(stamp));
    }
}

void VendorNames::LoadShipped() {
    if (!sources_.shippedFile) {
        return;
    }
    auto bytes = OpenCompactFile(*sources_.shippedFile);
    if (!bytes) {
        return;  // none shipped: no names
    }
    if (const auto stamp = VendorRegistry::StampOf(*bytes)) {
        system_ = VendorRegistry::FromCompact(std::move(bytes), *stamp);
    }
    if (!system_) {
        Warn(*sources_.shippedFile, "damaged");
    }
}

std::string DescribeVendorSources(const VendorSources& sources) {
    std::string text;
    auto describe = [&](const std::string& path) {
        std::error_code error;
        const auto changed = fs::last_write_time(path, error);
        // Only what a run would read: a directory or a FIFO is no list.
        if (error || !fs::is_regular_file(path, error)) {
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
    if (text.empty() && sources.shippedFile) {
        const auto bytes = OpenCompactFile(*sources.shippedFile);
        if (const auto stamp = bytes ? VendorRegistry::StampOf(*bytes) : std::nullopt) {
            text += "  " + *sources.shippedFile + ", made from:\n" + *stamp;
        }
    }
    if (sources.userFile) {
        describe(*sources.userFile);
    }
    return text.empty() ? "Vendor lists: none found (Debian's ieee-data package has them).\n"
                        : "Vendor lists:\n" + text;
}

}  // namespace varnock::console
