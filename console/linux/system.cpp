#include "console/system.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "console/resolved_addresses.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::console {

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

std::optional<std::string> ShippedVendorFile() {
    return std::nullopt;
}

char PathListSeparator() {
    return ':';
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

using linux_backend::UniqueFd;

class DescriptorInput final : public RegularInput {
public:
    explicit DescriptorInput(UniqueFd fd) : owned_(std::move(fd)), fd_(owned_.Get()) {}
    // Standard input: read, never closed.
    explicit DescriptorInput(int fd) : fd_(fd) {}

    std::size_t Read(std::span<char> into) override {
        for (;;) {
            const ssize_t got = ::read(fd_, into.data(), into.size());
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                throw std::system_error(errno, std::generic_category());
            }
        }
    }

    std::size_t ReadAt(std::uint64_t at, std::span<char> into) override {
        for (;;) {
            const ssize_t got = ::pread(fd_, into.data(), into.size(), static_cast<off_t>(at));
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                throw std::system_error(errno, std::generic_category());
            }
        }
    }

private:
    UniqueFd owned_;
    int fd_;
};

}  // namespace

std::unique_ptr<InputFile> OpenInput(const std::string& path) {
    if (path == "-") {
        return std::make_unique<DescriptorInput>(STDIN_FILENO);
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        throw std::system_error(errno, std::generic_category());
    }
    return std::make_unique<DescriptorInput>(std::move(fd));
}

RegularFile OpenRegularFile(const std::string& path) {
    RegularFile opened;
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer. It
    // changes nothing for a regular file.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat facts {};
    if (!fd) {
        opened.missing = errno == ENOENT;
        opened.problem = std::generic_category().message(errno);
    } else if (::fstat(fd.Get(), &facts) != 0) {
        opened.problem = std::generic_category().message(errno);
    } else if (!S_ISREG(facts.st_mode)) {
        opened.problem = S_ISDIR(facts.st_mode) ? "a directory, not a list" : "not a regular file";
    } else {
        opened.size = static_cast<std::uint64_t>(facts.st_size);
        opened.changed =
            static_cast<std::int64_t>(facts.st_mtim.tv_sec) * 1'000'000'000 + facts.st_mtim.tv_nsec;
        opened.file = std::make_unique<DescriptorInput>(std::move(fd));
    }
    return opened;
}

namespace {

class FlockedFile final : public FileLock {
public:
    explicit FlockedFile(UniqueFd fd) : fd_(std::move(fd)) {}

private:
    UniqueFd fd_;  // the lock goes with the descriptor
};

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void NoteStop(int) {
    stopRequested = 1;
}

}  // namespace

std::unique_ptr<FileLock> LockFile(const std::string& path, std::string& problem) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) {
        problem = path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        problem = errno == EWOULDBLOCK ? "another watch uses it" : std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<FlockedFile>(std::move(fd));
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

std::tm UtcPartsOf(std::time_t seconds) {
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    return parts;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StandardOutputGone() {
    // A pipe's or socket's writing end reports an error once no reader is
    // left; a file or a terminal never does.
    pollfd output{STDOUT_FILENO, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

}  // namespace varnock::console
