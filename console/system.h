#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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

// The whole of a file, read-only, for as long as the object lives: mapped
// where the system can (only the pages read are ever touched), read
// otherwise.
struct FileBytes {
    virtual ~FileBytes() = default;
    std::string_view bytes;
};
// Nothing when the file cannot be read.
std::shared_ptr<const FileBytes> ReadFileBytes(const std::string& path);

// Whether standard error is a terminal someone watches.
bool StandardErrorIsTerminal();

// How many more descriptors this process may open; nothing when the system
// sets no such limit that a lookup would meet.
std::optional<std::uint64_t> OpenFileRoom();

}  // namespace varnock::console
