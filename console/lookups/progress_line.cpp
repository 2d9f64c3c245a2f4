#include "console/lookups/progress_line.h"

#include <ostream>
#include <string>

namespace varnock::console {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};

}  // namespace

void ProgressLine::Show(const LookupProgress& progress) {
    if (!enabled_) {
        return;
    }
    const auto now = Clock::now();
    if (shownWidth_ > 0 && now - shownAt_ < kRedrawInterval) {
        return;
    }
    std::string line = "varnock-cli: " + std::to_string(progress.done) + " of " +
                       std::to_string(total_) + " addresses looked up, " +
                       std::to_string(progress.answered) + " answered";
    const std::size_t width = line.size();
    // Spaces over what a longer line left, rather than an escape sequence
    // that not every console understands.
    if (line.size() < shownWidth_) {
        line.resize(shownWidth_, ' ');
    }
    terminal_ << '\r' << line << std::flush;
    shownWidth_ = width;
    shownAt_ = now;
}

void ProgressLine::Erase() {
    if (shownWidth_ == 0) {
        return;
    }
    terminal_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
    shownWidth_ = 0;
}

}  // namespace varnock::console
