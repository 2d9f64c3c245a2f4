#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/system.h"

namespace varnock::console {

// Splits what a file holds into lines ending at '\n', keeping at most
// `longest` bytes of each, so that no line, however long, costs more memory
// than that: a file of one endless line (/dev/zero) is as cheap as any.
class LineReader {
public:
    LineReader(InputFile& file, std::size_t longest);

    // The next line without its '\n' (a '\r' before it stays), or nothing
    // at the end. A line longer than `longest` comes as its first `longest`
    // bytes with Cut() true, and its rest is skipped only when the next line
    // is asked for: a caller that gives up on it reads no further. Throws
    // what the file's Read throws.
    std::optional<std::string_view> Next();
    bool Cut() const { return cut_; }
    // The number of the line Next gave last, from 1.
    std::size_t Number() const { return number_; }

private:
    // Refills the buffer; false at the end of the file.
    bool Refill();

    InputFile& file_;
    std::size_t longest_;
    std::vector<char> buffer_;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    std::string line_;
    bool cut_ = false;
    bool skipping_ = false;  // the rest of a cut line is still to come
    std::size_t number_ = 0;
};

}  // namespace varnock::console
