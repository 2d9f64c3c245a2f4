#include "console/system.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

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

std::optional<std::string> ShippedVendorFile() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    std::string file(path, length);
    file.resize(file.find_last_of("\\/") + 1);
    return file + "varnock-vendors.bin";
}

char PathListSeparator() {
    return ';';
}

namespace {

class DescriptorInput final : public RegularInput {
public:
    DescriptorInput(int fd, bool owned) : fd_(fd), owned_(owned) {}
    DescriptorInput(const DescriptorInput&) = delete;
    DescriptorInput& operator=(const DescriptorInput&) = delete;
    ~DescriptorInput() override {
        if (owned_) {
            ::_close(fd_);
        }
    }

    std::size_t Read(std::span<char> into) override {
        const unsigned asked = static_cast<unsigned>(std::min<std::size_t>(into.size(), 1u << 20));
        const int got = ::_read(fd_, into.data(), asked);
        if (got < 0) {
            throw std::system_error(errno, std::generic_category());
        }
        return static_cast<std::size_t>(got);
    }

    std::size_t ReadAt(std::uint64_t at, std::span<char> into) override {
        if (::_lseeki64(fd_, static_cast<__int64>(at), SEEK_SET) < 0) {
            throw std::system_error(errno, std::generic_category());
        }
        return Read(into);
    }

private:
    int fd_;
    bool owned_;
};

}  // namespace

std::unique_ptr<InputFile> OpenInput(const std::string& path) {
    if (path == "-") {
        return std::make_unique<DescriptorInput>(0, false);
    }
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category());
    }
    return std::make_unique<DescriptorInput>(fd, true);
}

RegularFile OpenRegularFile(const std::string& path) {
    RegularFile opened;
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        opened.missing = errno == ENOENT;
        opened.problem = std::generic_category().message(errno);
        return opened;
    }
    auto input = std::make_unique<DescriptorInput>(fd, true);
    struct _stat64 facts {};
    if (::_fstat64(fd, &facts) != 0) {
        opened.problem = std::generic_category().message(errno);
    } else if ((facts.st_mode & _S_IFMT) != _S_IFREG) {
        opened.problem = "not a regular file";
    } else {
        opened.size = static_cast<std::uint64_t>(facts.st_size);
        opened.changed = static_cast<std::int64_t>(facts.st_mtime);
        opened.file = std::move(input);
    }
    return opened;
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

std::tm UtcPartsOf(std::time_t seconds) {
    std::tm parts{};
    gmtime_s(&parts, &seconds);
    return parts;
}

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

// A closed pipe shows when the next write fails.
bool StandardOutputGone() {
    return false;
}

}  // namespace varnock::console
