#include "console/watch/state_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include "console/system.h"
#include "console/watch/record_file.h"
#include "console/watch/record_file_reader.h"

namespace varnock::console {
namespace {

// The state file as it stands: its text, nothing when there is none yet,
// or why it cannot be read.
std::variant<std::optional<std::string>, std::string> ReadStateFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::optional<std::string>();
    }
    if (error) {
        return error.message();
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return std::string("not a plain file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "cannot be read: " + std::string(std::strerror(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return std::string("cannot be read to its end");
    }
    return std::optional<std::string>(text.str());
}

// A state file named through a link is the link's target: that is the file
// locked, read and replaced, so that the link stays a link and a second
// watch naming the target directly is kept out.
std::string RealStatePath(const std::string& path) {
    namespace fs = std::filesystem;
    constexpr int kMostLinks = 40;  // as many as the kernel follows
    fs::path real = path;
    std::error_code error;
    // Followed by hand: a link to a file not made yet is a link all the same.
    for (int hop = 0; hop < kMostLinks && fs::is_symlink(real, error); ++hop) {
        const fs::path target = fs::read_symlink(real, error);
        if (error) {
            return path;
        }
        real = target.is_absolute() ? target : real.parent_path() / target;
    }
    return real.lexically_normal().string();
}

class StateFileWriter final : public RecordWriter {
public:
    StateFileWriter(std::string given, std::string path, std::unique_ptr<FileLock> lock,
                    WatchReport report)
        : given_(std::move(given)),
          path_(std::move(path)),
          lock_(std::move(lock)),
          report_(std::move(report)) {}

    void Save(const NeighbourRecord& record, WallClock::time_point) override {
        if (record.Version() == saved_) {
            return;
        }
        if (const auto problem = ReplaceFileContents(path_, FormatWatchState(record.Seen()))) {
            if (!failing_) {
                report_("--state " + given_ + ": cannot be saved (" + *problem + "); trying again");
            }
            failing_ = true;
            return;
        }
        if (failing_) {
            report_("--state " + given_ + ": saved again");
        }
        failing_ = false;
        saved_ = record.Version();
    }

    std::optional<std::string> Lost() const override {
        if (!failing_) {
            return std::nullopt;
        }
        return "--state " + given_ + ": what the watch saw since its last save is lost";
    }

private:
    std::string given_;  // as the user named it
    std::string path_;   // the file replaced
    std::unique_ptr<FileLock> lock_;
    WatchReport report_;
    // The record as restored is the file as it stands: nothing to save yet.
    std::uint64_t saved_ = 0;
    bool failing_ = false;
};

}  // namespace

std::variant<OpenedStateFile, std::string> OpenStateFile(const std::string& given,
                                                         WatchReport report) {
    const std::string path = RealStatePath(given);
    std::string problem;
    auto lock = LockFile(path + ".lock", problem);
    if (!lock) {
        return "--state " + given + ": " + problem;
    }
    auto read = ReadStateFile(path);
    if (auto* unreadable = std::get_if<std::string>(&read)) {
        return "--state " + given + ": " + *unreadable + "; the file is left as it is";
    }
    OpenedStateFile opened;
    if (const auto& text = std::get<std::optional<std::string>>(read)) {
        auto parsed = ParseWatchState(*text);
        if (auto* damaged = std::get_if<std::string>(&parsed)) {
            return "--state " + given + ": " + *damaged +
                   "; the file is left as it is: fix it or start with another file";
        }
        opened.restored = std::move(std::get<std::vector<SeenNeighbour>>(parsed));
    }
    opened.writer =
        std::make_unique<StateFileWriter>(given, path, std::move(lock), std::move(report));
    return opened;
}

}  // namespace varnock::console
