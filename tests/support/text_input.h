#pragma once

// A file that holds a given text and gives it a few bytes at a time, so
// that a reader meets every split of a line across reads; or that fails
// after its text, as a directory or a closed stream does.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>
#include <system_error>

#include "console/system.h"

namespace varnock::testing {

class TextInput final : public console::InputFile {
public:
    explicit TextInput(std::string text, std::size_t piece = 7, int failure = 0)
        : text_(std::move(text)), piece_(piece), failure_(failure) {}

    std::size_t Read(std::span<char> into) override {
        const std::size_t count = std::min({into.size(), piece_, text_.size() - at_});
        if (count == 0 && failure_ != 0) {
            throw std::system_error(failure_, std::generic_category());
        }
        std::memcpy(into.data(), text_.data() + at_, count);
        at_ += count;
        return count;
    }

private:
    std::string text_;
    std::size_t piece_;
    int failure_;
    std::size_t at_ = 0;
};

}  // namespace varnock::testing
