// The Windows side of ReplaceFileContents (console/system.h): the one way
// this program replaces a file it keeps (the watch's state, the vendor
// cache).

// clang-format off
#include <windows.h>
// clang-format on

#include <algorithm>
#include <random>
#include <string>

#include "console/system.h"

namespace varnock::console {
namespace {

constexpr int kNameTries = 16;

// Closes the handle it owns.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Close(); }
    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Whether the handle held (if any) closed without an error.
    bool Close() { return Reset(INVALID_HANDLE_VALUE); }
    bool Reset(HANDLE handle) {
        const bool closed = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_) != 0;
        handle_ = handle;
        return closed;
    }

private:
    HANDLE handle_;
};

std::string Reason(const std::string& what) {
    return what + ": system error " + std::to_string(GetLastError());
}

}  // namespace

// Written to a new file beside the target under a name nobody can guess,
// made only if nothing has it (CREATE_NEW never opens a planted link),
// flushed to disk, then moved over the target with the move written through.
std::optional<std::string> ReplaceFileContents(const std::string& path, const std::string& text) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string temporary;
    OwnedHandle file(INVALID_HANDLE_VALUE);
    for (int attempt = 0; attempt < kNameTries && !file; ++attempt) {
        temporary = path + ".tmp-";
        for (int i = 0; i < 12; ++i) {
            temporary += kLetters[pick(entropy)];
        }
        file.Reset(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (!file) {
        return Reason(temporary);
    }
    std::size_t written = 0;
    bool whole = true;
    while (whole && written < text.size()) {
        DWORD wrote = 0;
        const auto chunk =
            static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 1 << 20));
        whole =
            WriteFile(file.Get(), text.data() + written, chunk, &wrote, nullptr) != 0 && wrote > 0;
        written += wrote;
    }
    whole = whole && FlushFileBuffers(file.Get()) != 0;
    const std::string problem = whole ? std::string() : Reason(temporary);
    if (!file.Close() || !whole) {
        DeleteFileA(temporary.c_str());
        return problem.empty() ? Reason(temporary) : problem;
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::string reason = Reason(path);
        DeleteFileA(temporary.c_str());
        return reason;
    }
    return std::nullopt;
}

}  // namespace varnock::console
