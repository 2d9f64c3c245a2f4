#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "console/vendors/vendor_names.h"
#include "web/site/event_log.h"
#include "web/site/file_stamp.h"
#include "web/site/site_snapshot.h"

namespace varnock::web {

// Where the site's knowledge comes from (varnock-web's options).
struct RecordPaths {
    std::vector<std::string> stateFiles;         // --state
    std::optional<std::string> stateDirectory;   // --state-dir: *.json records, *.jsonl logs
    std::vector<std::string> logFiles;           // --log
    std::vector<std::string> namesFiles;         // --names, after the system's
    std::optional<std::string> systemNamesFile;  // /etc/ethers, read first when it exists
    console::VendorSources vendors;              // --vendor-file and the system's lists
};

// The largest record read: 10,000 neighbours take about 2 MB.
inline constexpr std::uint64_t kLargestRecord = 64 * 1024 * 1024;
// The largest log read; a longer one is a problem, not read (the watch's
// logs are meant to be rotated).
inline constexpr std::uint64_t kLargestLog = 256 * 1024 * 1024;

// The snapshot of the records, logs and names, read again when one of their
// files changed (size, time or inode), looked at no more than once a
// second. Any thread may ask at any time; one of them re-reads while the
// others keep the snapshot before.
inline constexpr std::chrono::seconds kLookInterval{1};

class RecordSource {
public:
    // Reads everything once before it returns. `lookInterval`: how often
    // the files are looked at (tests look at every call).
    explicit RecordSource(RecordPaths paths,
                          std::chrono::steady_clock::duration lookInterval = kLookInterval);

    std::shared_ptr<const SiteSnapshot> Current();

private:
    // Every file the snapshot depends on, with its stamp now.
    std::map<std::string, FileStamp> StampsNow() const;
    std::vector<std::string> RecordFiles(std::string* problem) const;
    std::vector<std::string> LogFiles() const;
    void Reload(std::map<std::string, FileStamp> stamps);

    // A log as far as it was read: its events, and how many of its bytes
    // (whole lines) they came from.
    struct KnownLog {
        FileStamp stamp;
        std::uint64_t consumed = 0;
        LogRead read;
    };
    static KnownLog ReadLogOnward(const std::string& path, KnownLog known);

    const RecordPaths paths_;
    const std::chrono::steady_clock::duration lookInterval_;
    std::mutex reloading_;  // held by the one thread looking or re-reading
    console::VendorNames vendors_;
    std::vector<std::string> vendorProblems_;  // told by the lists once, kept for every snapshot
    std::map<std::string, FileStamp> stamps_;
    std::map<std::string, KnownLog> knownLogs_;
    std::chrono::steady_clock::time_point lookedAt_;
    std::mutex currentMutex_;
    std::shared_ptr<const SiteSnapshot> current_;
};

}  // namespace varnock::web
