#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnock::web {

// What tells a file's contents changed without reading it: a watch replaces
// its record by renaming a new file over it (a new inode), and appends to
// its log (a new size and time).
struct FileStamp {
    bool exists = false;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t changed = 0;  // its modification time, in nanoseconds since 1970
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp StampOf(const std::string& path);

// A file read at once from `from` to its end, never past its byte `largest`.
struct WholeFile {
    enum class Outcome { kRead, kMissing, kUnreadable };
    Outcome outcome = Outcome::kRead;
    std::string problem;  // why not, when not read
    std::string text;
    FileStamp stamp;  // of the file that was read
};
// Opening never waits (a FIFO is refused, not waited for); a directory, a
// device or a file larger than `largest` is unreadable, with why.
// A file shorter than `from` reads as nothing.
WholeFile ReadWholeFile(const std::string& path, std::uint64_t largest, std::uint64_t from = 0);

// The regular files in `directory` whose names end with `suffix`, sorted;
// nothing when it cannot be listed (`problem` says why).
std::vector<std::string> FilesIn(const std::string& directory, const std::string& suffix,
                                 std::string& problem);

}  // namespace varnock::web
