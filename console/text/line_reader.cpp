#include "console/text/line_reader.h"

#include <algorithm>
#include <cstring>

namespace varnock::console {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

LineReader::LineReader(InputFile& file, std::size_t longest)
    : file_(file), longest_(longest), buffer_(kBufferSize) {}

bool LineReader::Refill() {
    at_ = 0;
    end_ = file_.Read(buffer_);
    return end_ > 0;
}

std::optional<std::string_view> LineReader::Next() {
    while (skipping_) {
        if (at_ == end_ && !Refill()) {
            return std::nullopt;
        }
        const auto* newline =
            static_cast<const char*>(std::memchr(&buffer_[at_], '\n', end_ - at_));
        at_ = newline == nullptr ? end_ : static_cast<std::size_t>(newline - buffer_.data()) + 1;
        skipping_ = newline == nullptr;
    }
    line_.clear();
    cut_ = false;
    bool started = false;
    for (;;) {
        if (at_ == end_ && !Refill()) {
            if (!started) {
                return std::nullopt;
            }
            break;
        }
        started = true;
        const auto* newline =
            static_cast<const char*>(std::memchr(&buffer_[at_], '\n', end_ - at_));
        const std::size_t until =
            newline == nullptr ? end_ : static_cast<std::size_t>(newline - buffer_.data());
        const std::size_t room = longest_ - line_.size();
        line_.append(&buffer_[at_], std::min(until - at_, room));
        if (until - at_ > room) {
            cut_ = true;
            at_ = newline == nullptr ? end_ : until + 1;
            skipping_ = newline == nullptr;
            break;
        }
        if (newline != nullptr) {
            at_ = until + 1;
            break;
        }
        at_ = end_;
    }
    ++number_;
    return line_;
}

}  // namespace varnock::console
