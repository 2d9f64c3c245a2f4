#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lookup/ip_address.h"

namespace varnock::console {

// What the console program asks of the operating system beyond the lookup;
// linux/ and windows/ answer it.

// Makes a write to a closed pipe fail with an error instead of ending the
// process by signal (nothing to do where there is no such signal).
void IgnoreBrokenPipes();

// Every IPv4 and IPv6 address the system's resolver gives `name`, each once,
// in the resolver's order; empty when it knows none.
std::vector<IpAddress> ResolveHostName(const std::string& name);

// Where this user's cache of the program lives ($XDG_CACHE_HOME/varnock,
// ~/.cache/varnock; %LOCALAPPDATA%\varnock on Windows); nothing without one.
std::optional<std::string> UserCacheDirectory();

// The vendor form shipped beside the program (varnock-vendors.bin in the
// program's folder on Windows); nothing where the system keeps the
// registries itself (Linux).
std::optional<std::string> ShippedVendorFile();

// What separates the files of VARNOCK_VENDOR_LISTS: ':' as in PATH on
// Linux, ';' on Windows, where ':' follows a drive letter.
char PathListSeparator();

// A file read from its start to its end, a piece at a time.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Fills the start of `into`: how many bytes, 0 at the end. Throws
    // std::system_error when the read fails (a directory, a closed stream).
    virtual std::size_t Read(std::span<char> into) = 0;
};

// A regular file, which can also be read at any place.
class RegularInput : public InputFile {
public:
    // Fills the start of `into` from the place `at`: fewer bytes at the
    // file's end. Read one way or the other, not both: on Windows this
    // moves Read's place. Throws std::system_error when the read fails.
    virtual std::size_t ReadAt(std::uint64_t at, std::span<char> into) = 0;
};

// What -f reads: the file `path`, of any kind (a pipe may wait for its
// writer), or standard input for "-". Throws std::system_error when it
// cannot be opened.
std::unique_ptr<InputFile> OpenInput(const std::string& path);

// A regular file, opened without ever waiting (a FIFO's writer is not
// waited for) and checked once it is open. `file` is empty when it cannot
// be used: `problem` says why, and `missing` when it does not exist.
struct RegularFile {
    std::unique_ptr<RegularInput> file;
    std::string problem;
    bool missing = false;
    std::uint64_t size = 0;
    std::int64_t changed = 0;  // when it was last written, in the system's own units
};
RegularFile OpenRegularFile(const std::string& path);

// Writes `text` to `path` so that a reader never sees half of it, even after
// a crash: a new file beside it under a name nobody can plant a link at,
// flushed to disk, then renamed over it. `path` itself is replaced: a link
// there becomes a plain file (callers that mean the link's target resolve it
// first). Nothing, or why it failed.
std::optional<std::string> ReplaceFileContents(const std::string& path, const std::string& text);

// Holds an exclusive lock on `path` (made when missing) for as long as it
// lives: two watchers never share one state file. Nothing, with the reason
// in `problem`, when another process holds it or it cannot be made.
struct FileLock {
    virtual ~FileLock() = default;
};
std::unique_ptr<FileLock> LockFile(const std::string& path, std::string& problem);

// SIGINT and SIGTERM (Ctrl+C, Ctrl+Break on Windows) end a wait early and
// raise StopRequested instead of ending the process.
void CatchStopSignals();
bool StopRequested();

// The calendar parts of a time in UTC, from the system's thread-safe
// conversion.
std::tm UtcPartsOf(std::time_t seconds);

// Whether standard error is a terminal someone watches.
bool StandardErrorIsTerminal();

// Whether standard output is a pipe or socket whose reader has gone (`| head
// -c 10` after head has ended): a run that writes seldom learns it this way,
// long before its next write fails.
bool StandardOutputGone();

}  // namespace varnock::console
