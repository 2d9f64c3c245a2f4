#include "console/system.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

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

std::optional<std::string> UserCacheDirectory() {
    if (const char* local = std::getenv("LOCALAPPDATA"); local != nullptr && *local != '\0') {
        return std::string(local) + "\\varnock";
    }
    return std::nullopt;
}

namespace {

class FileCopy final : public FileBytes {
public:
    explicit FileCopy(std::string text) : text_(std::move(text)) { bytes = text_; }

private:
    std::string text_;
};

}  // namespace

std::shared_ptr<const FileBytes> ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : -1;
    if (size <= 0) {
        return nullptr;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        return nullptr;
    }
    return std::make_shared<const FileCopy>(std::move(text));
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
