#pragma once

#include <string_view>

namespace varnock::console {

// The first line of `text` without its '\n' (a '\r' before it stays), taken
// off `text` with the '\n'. For texts held whole in memory; LineReader reads
// a file's lines with a bound.
inline std::string_view TakeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// `text` without any of the characters of `blanks` at either end.
inline std::string_view Trimmed(std::string_view text, std::string_view blanks) {
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

}  // namespace varnock::console
