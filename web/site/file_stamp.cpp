#include "web/site/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace varnock::web {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

FileStamp StampFrom(const struct stat& facts) {
    FileStamp stamp;
    stamp.exists = true;
    stamp.inode = static_cast<std::uint64_t>(facts.st_ino);
    stamp.size = static_cast<std::uint64_t>(facts.st_size);
    stamp.changed =
        static_cast<std::int64_t>(facts.st_mtim.tv_sec) * 1'000'000'000 + facts.st_mtim.tv_nsec;
    return stamp;
}

std::string Reason(int error) {
    return std::generic_category().message(error);
}

}  // namespace

FileStamp StampOf(const std::string& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0) {
        return {};
    }
    return StampFrom(facts);
}

WholeFile ReadWholeFile(const std::string& path, std::uint64_t largest, std::uint64_t from) {
    WholeFile read;
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat facts {};
    if (fd.Get() < 0) {
        read.outcome =
            errno == ENOENT ? WholeFile::Outcome::kMissing : WholeFile::Outcome::kUnreadable;
        read.problem = errno == ENOENT ? "no such file" : Reason(errno);
        return read;
    }
    if (::fstat(fd.Get(), &facts) != 0) {
        read.outcome = WholeFile::Outcome::kUnreadable;
        read.problem = Reason(errno);
        return read;
    }
    read.stamp = StampFrom(facts);
    if (!S_ISREG(facts.st_mode)) {
        read.outcome = WholeFile::Outcome::kUnreadable;
        read.problem = S_ISDIR(facts.st_mode) ? "a directory, not a file" : "not a regular file";
        return read;
    }
    if (read.stamp.size > largest) {
        read.outcome = WholeFile::Outcome::kUnreadable;
        read.problem = "larger than " + std::to_string(largest) + " bytes";
        return read;
    }
    if (from >= read.stamp.size) {
        return read;
    }
    if (::lseek(fd.Get(), static_cast<off_t>(from), SEEK_SET) < 0) {
        read.outcome = WholeFile::Outcome::kUnreadable;
        read.problem = Reason(errno);
        return read;
    }
    // The size may change while it is read (a log being written): read to
    // the end, within the limit.
    const std::uint64_t room = largest - from;
    read.text.resize(static_cast<std::size_t>(read.stamp.size - from) + 4096);
    std::size_t filled = 0;
    while (true) {
        if (filled == read.text.size()) {
            if (read.text.size() > room) {
                break;
            }
            read.text.resize(std::min<std::uint64_t>(read.text.size() * 2, room + 1));
        }
        const ssize_t count =
            ::read(fd.Get(), read.text.data() + filled, read.text.size() - filled);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            read.outcome = WholeFile::Outcome::kUnreadable;
            read.problem = Reason(errno);
            read.text.clear();
            return read;
        }
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
    }
    read.text.resize(std::min<std::uint64_t>(filled, room));
    return read;
}

std::vector<std::string> FilesIn(const std::string& directory, const std::string& suffix,
                                 std::string& problem) {
    std::vector<std::string> files;
    std::error_code error;
    std::filesystem::directory_iterator entries(directory, error);
    if (error) {
        problem = error.message();
        return files;
    }
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        std::error_code kind;
        if (name.size() > suffix.size() && name.ends_with(suffix) && name.front() != '.' &&
            entry.is_regular_file(kind)) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace varnock::web
