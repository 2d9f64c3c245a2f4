#include "console/text/terminal_text.h"

#include <cstdint>

#include "console/text/utf8_text.h"
#include "lookup/hex_digits.h"

namespace varnock::console {
namespace {

std::uint32_t CodePoint(std::string_view sequence) {
    const auto byte = [&](std::size_t i) {
        return std::uint32_t{static_cast<unsigned char>(sequence[i])};
    };
    switch (sequence.size()) {
        case 2:
            return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        case 3:
            return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        default:
            return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
                   (byte(3) & 0x3F);
    }
}

// C1 controls, and the marks, embeddings, overrides and isolates that change
// the direction of the text after them.
bool MustEscape(std::uint32_t codePoint) {
    return (codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x061C || codePoint == 0x200E ||
           codePoint == 0x200F || (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        std::size_t taken = 1;
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            AppendHexDigits(out, c, 2);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8SequenceLength(text); length == 0) {
            out += "\\x";
            AppendHexDigits(out, c, 2);
        } else {
            taken = length;
            if (const std::uint32_t codePoint = CodePoint(text.substr(0, length));
                MustEscape(codePoint)) {
                out += "\\u";
                AppendHexDigits(out, codePoint, 4);
            } else {
                out += text.substr(0, length);
            }
        }
        text.remove_prefix(taken);
    }
    return out;
}

std::string Quoted(std::string_view argument) {
    if (argument.size() <= kLongestQuote) {
        return '"' + TerminalText(argument) + '"';
    }
    // Cut before a character, not inside one.
    std::size_t cut = kQuotedStart;
    while (cut > 0 && (static_cast<unsigned char>(argument[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return '"' + TerminalText(argument.substr(0, cut)) + "...\" (" +
           std::to_string(argument.size()) + " bytes)";
}

}  // namespace varnock::console
