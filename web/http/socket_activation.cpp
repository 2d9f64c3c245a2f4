#include "web/http/socket_activation.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>

namespace varnock::web {
namespace {

// The first descriptor systemd passes (SD_LISTEN_FDS_START).
constexpr int kFirstPassed = 3;

std::optional<long> Number(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string_view> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
}

}  // namespace

std::vector<int> ActivatedDescriptors(std::optional<std::string_view> listenPid,
                                      std::optional<std::string_view> listenFds, long ourPid) {
    if (!listenPid || !listenFds) return {};
    const auto pid = Number(*listenPid);
    const auto count = Number(*listenFds);
    // More than a handful would be a mistake in the unit, not sockets.
    if (!pid || *pid != ourPid || !count || *count > 64) return {};
    std::vector<int> descriptors;
    for (long i = 0; i < *count; ++i) descriptors.push_back(kFirstPassed + static_cast<int>(i));
    return descriptors;
}

std::vector<UniqueFd> TakeActivatedSockets() {
    const std::vector<int> descriptors = ActivatedDescriptors(
        Variable("LISTEN_PID"), Variable("LISTEN_FDS"), static_cast<long>(::getpid()));
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    std::vector<UniqueFd> sockets;
    for (const int fd : descriptors) {
        UniqueFd socket(fd);
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        sockets.push_back(std::move(socket));
    }
    return sockets;
}

}  // namespace varnock::web
