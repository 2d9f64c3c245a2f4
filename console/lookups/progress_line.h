#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>

#include "console/lookups/concurrent_lookups.h"

namespace varnock::console {

// One line on a terminal that says how far a run over many addresses is,
// redrawn in place and erased before anything else is written. Disabled,
// it writes nothing at all: a log file or a pipe gets only the results.
class ProgressLine {
public:
    ProgressLine(std::ostream& terminal, std::size_t total, bool enabled)
        : terminal_(terminal), total_(total), enabled_(enabled) {}
    ~ProgressLine() { Erase(); }

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Draws the line when none is on screen, else at most ten times a second.
    void Show(const LookupProgress& progress);
    // Takes the line off the screen, if it is on it.
    void Erase();

private:
    using Clock = std::chrono::steady_clock;

    std::ostream& terminal_;
    std::size_t total_;
    bool enabled_;
    std::size_t shownWidth_ = 0;  // 0: nothing on screen
    Clock::time_point shownAt_{};
};

}  // namespace varnock::console
