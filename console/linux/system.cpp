#include "console/system.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
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

std::optional<std::string> UserCacheDirectory() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache == '/') {
        return std::string(cache) + "/varnock";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return std::string(home) + "/.cache/varnock";
    }
    return std::nullopt;
}

namespace {

class MappedFile final : public FileBytes {
public:
    MappedFile(void* base, std::size_t size) : base_(base), size_(size) {
        bytes = {static_cast<const char*>(base), size};
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() override { ::munmap(base_, size_); }

private:
    void* base_;
    std::size_t size_;
};

}  // namespace

std::shared_ptr<const FileBytes> ReadFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat facts {};
    void* base = MAP_FAILED;
    if (::fstat(fd, &facts) == 0 && facts.st_size > 0) {
        base =
            ::mmap(nullptr, static_cast<std::size_t>(facts.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);  // the mapping stays
    if (base == MAP_FAILED) {
        return nullptr;
    }
    return std::make_shared<const MappedFile>(base, static_cast<std::size_t>(facts.st_size));
}

namespace {

class FlockedFile final : public FileLock {
public:
    explicit FlockedFile(int fd) : fd_(fd) {}
    FlockedFile(const FlockedFile&) = delete;
    FlockedFile& operator=(const FlockedFile&) = delete;
    ~FlockedFile() override { ::close(fd_); }

private:
    int fd_;
};

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void NoteStop(int) {
    stopRequested = 1;
}

}  // namespace

std::unique_ptr<FileLock> LockFile(const std::string& path, std::string& problem) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        problem = path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        problem = errno == EWOULDBLOCK ? "another watch uses it" : std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FlockedFile>(fd);
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait ends at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return stopRequested != 0;
}

void IgnoreBrokenPipes() {
    ::signal(SIGPIPE, SIG_IGN);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StandardOutputReaderGone() {
    // A pipe's writing end reports POLLERR once no reader is left; a file or
    // a terminal never does.
    pollfd output{STDOUT_FILENO, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
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
