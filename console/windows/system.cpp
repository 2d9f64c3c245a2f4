#include "console/system.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#include <io.h>

#include <cstdio>

#include "console/resolved_addresses.h"

namespace varnock::console {

std::vector<IpAddress> ResolveHostName(const std::string& name) {
    // Windows Sockets must be started before its resolver answers.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) {
        return {};
    }
    std::vector<IpAddress> addresses = ResolvedAddresses(found);
    freeaddrinfo(found);
    return addresses;
}

// Windows sends no signal for a closed pipe: the write fails by itself.
void IgnoreBrokenPipes() {}

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

// SendARP holds no descriptor of ours while it waits.
std::optional<std::uint64_t> OpenFileRoom() {
    return std::nullopt;
}

}  // namespace varnock::console
