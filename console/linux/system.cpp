#include "console/system.h"

#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "console/resolved_addresses.h"

namespace varnock::console {
namespace {

// When the open descriptors cannot be counted: the standard streams and
// whatever a shell or test harness may have left open.
constexpr std::uint64_t kAssumedOpen = 16;

std::uint64_t OpenDescriptors() {
    std::error_code error;
    std::filesystem::directory_iterator entries("/proc/self/fd", error);
    if (error) {
        return kAssumedOpen;
    }
    std::uint64_t count = 0;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (error) {
            return kAssumedOpen;
        }
        ++count;
    }
    return count;
}

}  // namespace

std::vector<IpAddress> ResolveHostName(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;  // one entry per address, not one per socket type
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) {
        return {};
    }
    std::vector<IpAddress> addresses = ResolvedAddresses(found);
    ::freeaddrinfo(found);
    return addresses;
}

void IgnoreBrokenPipes() {
    ::signal(SIGPIPE, SIG_IGN);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

std::optional<std::uint64_t> OpenFileRoom() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    const std::uint64_t open = OpenDescriptors();
    return limit.rlim_cur > open ? limit.rlim_cur - open : 0;
}

}  // namespace varnock::console
