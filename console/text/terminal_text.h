#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnock::console {

// `text` made safe to put on a terminal: C0 controls, DEL, C1 controls,
// the bidirectional controls that reorder what follows, a backslash and
// bytes that are not UTF-8 are written as escapes (\x1B, \u202E, \\), so a
// vendor name or an argument can neither drive the terminal nor disguise
// itself. Everything else stays as it is.
std::string TerminalText(std::string_view text);

// An argument longer than kLongestQuote is shown as its first
// kQuotedStart bytes and its length.
inline constexpr std::size_t kLongestQuote = 128;
inline constexpr std::size_t kQuotedStart = 100;

// The argument as the user typed it, quoted so that an empty one shows, and
// safe to show on a terminal; a long one only as its start, with its length
// ("abc..." (120000 bytes)), so that a message never repeats a hostile
// input whole.
std::string Quoted(std::string_view argument);

}  // namespace varnock::console
