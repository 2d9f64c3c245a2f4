// The Linux side of ReplaceFileContents (console/system.h): the one way this
// program replaces a file it keeps (the watch's state, the vendor cache).

#include "console/linux/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "console/system.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::console {
namespace {

using linux_backend::UniqueFd;

constexpr int kNameTries = 16;

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name nobody can guess beside `path`.
std::string RandomTemporaryName(const std::string& path) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string temporary = path + ".tmp-";
    for (int i = 0; i < 12; ++i) {
        temporary += kLetters[pick(entropy)];
    }
    return temporary;
}

// A file made only if nothing has its name: O_EXCL with O_NOFOLLOW never
// writes through a link someone planted there.
UniqueFd MakeTemporary(const std::function<std::string()>& nextName, std::string& temporary) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        temporary = nextName();
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return UniqueFd(fd);
        }
    }
    errno = EEXIST;
    return UniqueFd();
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

// The file appears whole or not at all, even after a crash: written to a new
// file in the same directory (a rename never crosses file systems), flushed
// to disk, renamed over the target, and the directory flushed so that the
// rename itself is kept. The new file gets the old one's permissions (0644
// for a new one, less the umask).
std::optional<std::string> ReplaceFileContents(const std::string& path, const std::string& text) {
    return ReplaceFileContents(path, text, [&path] { return RandomTemporaryName(path); });
}

std::optional<std::string> ReplaceFileContents(const std::string& path, const std::string& text,
                                               const std::function<std::string()>& nextName) {
    std::string temporary;
    const UniqueFd file = MakeTemporary(nextName, temporary);
    if (!file) {
        return Reason(DirectoryOf(path));
    }
    struct stat old {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    std::string problem;
    if (!WriteAll(file.Get(), text) || ::fchmod(file.Get(), mode) != 0 ||
        ::fsync(file.Get()) != 0) {
        problem = Reason(temporary);
    } else if (::rename(temporary.c_str(), path.c_str()) != 0) {
        problem = Reason(path);
    }
    if (!problem.empty()) {
        ::unlink(temporary.c_str());
        return problem;
    }
    const UniqueFd directory(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory || ::fsync(directory.Get()) != 0) {
        return Reason(DirectoryOf(path));
    }
    return std::nullopt;
}

}  // namespace varnock::console
