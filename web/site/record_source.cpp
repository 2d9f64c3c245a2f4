#include "web/site/record_source.h"

#include <utility>

#include "console/names/device_names.h"
#include "web/site/event_log.h"
#include "web/site/snapshot_builder.h"

namespace varnock::web {

RecordSource::RecordSource(RecordPaths paths, std::chrono::steady_clock::duration lookInterval)
    : paths_(std::move(paths)), lookInterval_(lookInterval), vendors_(paths_.vendors) {
    std::lock_guard lock(reloading_);
    lookedAt_ = std::chrono::steady_clock::now();
    Reload(StampsNow());
}

std::shared_ptr<const SiteSnapshot> RecordSource::Current() {
    if (std::unique_lock lock(reloading_, std::try_to_lock); lock.owns_lock()) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lookedAt_ >= lookInterval_) {
            lookedAt_ = now;
            auto stamps = StampsNow();
            if (stamps != stamps_) {
                Reload(std::move(stamps));
            }
        }
    }
    std::lock_guard lock(currentMutex_);
    return current_;
}

std::vector<std::string> RecordSource::RecordFiles(std::string* problem) const {
    std::vector<std::string> files = paths_.stateFiles;
    if (paths_.stateDirectory) {
        std::string why;
        for (std::string& file : FilesIn(*paths_.stateDirectory, ".json", why)) {
            files.push_back(std::move(file));
        }
        if (problem != nullptr) {
            *problem = std::move(why);
        }
    }
    return files;
}

std::vector<std::string> RecordSource::LogFiles() const {
    std::vector<std::string> files = paths_.logFiles;
    if (paths_.stateDirectory) {
        std::string ignored;  // told once, with the records
        for (std::string& file : FilesIn(*paths_.stateDirectory, ".jsonl", ignored)) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

std::map<std::string, FileStamp> RecordSource::StampsNow() const {
    std::map<std::string, FileStamp> stamps;
    // The directory itself: a record added or removed changes it.
    if (paths_.stateDirectory) {
        stamps["dir:" + *paths_.stateDirectory] = StampOf(*paths_.stateDirectory);
    }
    for (const std::string& file : RecordFiles(nullptr)) {
        stamps["record:" + file] = StampOf(file);
    }
    for (const std::string& file : LogFiles()) {
        stamps["log:" + file] = StampOf(file);
    }
    if (paths_.systemNamesFile) {
        stamps["names:" + *paths_.systemNamesFile] = StampOf(*paths_.systemNamesFile);
    }
    for (const std::string& file : paths_.namesFiles) {
        stamps["names:" + file] = StampOf(file);
    }
    return stamps;
}

RecordSource::KnownLog RecordSource::ReadLogOnward(const std::string& path, KnownLog known) {
    // The watch only appends to its log: while the file is the same (its
    // inode) and has not shrunk, only what was added is read. A rotated or
    // cut log is read from its start.
    const FileStamp stamp = StampOf(path);
    if (!known.stamp.exists || stamp.inode != known.stamp.inode || stamp.size < known.consumed) {
        known = KnownLog{};
        known.read.status.path = path;
    }
    WholeFile file = ReadWholeFile(path, kLargestLog, known.consumed);
    if (file.outcome != WholeFile::Outcome::kRead) {
        KnownLog unread;
        unread.read.status.path = path;
        unread.read.status.problem = std::move(file.problem);
        return unread;
    }
    // Only whole lines: the last may still be being written.
    const std::size_t end = file.text.rfind('\n');
    if (end != std::string::npos) {
        LogRead more = ReadEventLog(std::string_view(file.text).substr(0, end + 1), path);
        std::move(more.events.begin(), more.events.end(), std::back_inserter(known.read.events));
        known.read.status.badLines += more.status.badLines;
        known.read.status.events = known.read.events.size();
        known.consumed += end + 1;
    }
    known.stamp = file.stamp;
    return known;
}

void RecordSource::Reload(std::map<std::string, FileStamp> stamps) {
    stamps_ = std::move(stamps);
    std::string directoryProblem;
    std::vector<RecordRead> records;
    for (const std::string& path : RecordFiles(&directoryProblem)) {
        WholeFile file = ReadWholeFile(path, kLargestRecord);
        if (file.outcome == WholeFile::Outcome::kRead) {
            records.push_back(ReadRecordText(
                path, file.text,
                WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(
                    std::chrono::nanoseconds(file.stamp.changed)))));
        } else {
            records.push_back(UnreadableRecord(path,
                                               file.outcome == WholeFile::Outcome::kMissing
                                                   ? RecordStatus::State::kMissing
                                                   : RecordStatus::State::kUnreadable,
                                               std::move(file.problem)));
        }
    }
    // A directory that cannot be listed is shown as a record that cannot
    // be read: an inventory without it must not look whole.
    if (paths_.stateDirectory && !directoryProblem.empty()) {
        records.push_back(UnreadableRecord(*paths_.stateDirectory, RecordStatus::State::kUnreadable,
                                           "the directory cannot be listed: " + directoryProblem));
    }

    std::vector<LogRead> logs;
    std::map<std::string, KnownLog> known;
    for (const std::string& path : LogFiles()) {
        KnownLog log = ReadLogOnward(path, std::move(knownLogs_[path]));
        logs.push_back(log.read);
        if (log.read.status.problem.empty()) {
            known[path] = std::move(log);
        }
    }
    knownLogs_ = std::move(known);

    console::DeviceNames names;
    if (paths_.systemNamesFile) {
        names.Load(*paths_.systemNamesFile, true);
    }
    for (const std::string& path : paths_.namesFiles) {
        names.Load(path);
    }

    auto snapshot = std::make_shared<SiteSnapshot>(AssembleSnapshot(
        std::move(records), std::move(logs), names,
        [this](const HardwareAddressBytes& bytes) -> std::optional<std::string> {
            if (const auto vendor = vendors_.Of(bytes)) {
                return std::string(*vendor);
            }
            return std::nullopt;
        },
        WallClock::now()));
    for (std::string& problem : vendors_.TakeProblems()) {
        vendorProblems_.push_back(std::move(problem));
    }
    snapshot->vendorProblems = vendorProblems_;
    std::lock_guard lock(currentMutex_);
    current_ = std::move(snapshot);
}

}  // namespace varnock::web
