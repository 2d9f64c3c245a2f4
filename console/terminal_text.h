#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnock::console {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// (overlong forms, surrogates and code points past U+10FFFF are not).
std::size_t Utf8SequenceLength(std::string_view text);

// `text` made safe to put on a terminal: C0 controls, DEL, C1 controls,
// the bidirectional controls that reorder what follows, a backslash and
// bytes that are not UTF-8 are written as escapes (\x1B, \u202E, \\), so a
// vendor name or an argument can neither drive the terminal nor disguise
// itself. Everything else stays as it is.
std::string TerminalText(std::string_view text);

}  // namespace varnock::console
