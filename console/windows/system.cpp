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

namespace {

class SharedNoneFile final : public FileLock {
public:
    explicit SharedNoneFile(HANDLE file) : file_(file) {}
    SharedNoneFile(const SharedNoneFile&) = delete;
    SharedNoneFile& operator=(const SharedNoneFile&) = delete;
    ~SharedNoneFile() override { CloseHandle(file_); }

private:
    HANDLE file_;
};

volatile LONG stopRequested = 0;

BOOL WINAPI NoteStop(DWORD) {
    InterlockedExchange(&stopRequested, 1);
    return TRUE;
}

}  // namespace

// Opened with no sharing at all: a second opener is refused.
std::unique_ptr<FileLock> LockFile(const std::string& path, std::string& problem) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = GetLastError() == ERROR_SHARING_VIOLATION ? "another watch uses it"
                                                            : path + ": cannot be opened";
        return nullptr;
    }
    return std::make_unique<SharedNoneFile>(file);
}

void CatchStopSignals() {
    SetConsoleCtrlHandler(NoteStop, TRUE);
}

bool StopRequested() {
    return InterlockedCompareExchange(&stopRequested, 0, 0) != 0;
}

// Windows sends no signal for a closed pipe: the write fails by itself.
void IgnoreBrokenPipes() {}

// A closed pipe shows at the next write.
bool StandardOutputReaderGone() {
    return false;
}

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

// SendARP holds no descriptor of ours while it waits.
std::optional<std::uint64_t> OpenFileRoom() {
    return std::nullopt;
}

}  // namespace varnock::console
