#include "console/metrics/label_text.h"

#include <cstddef>
#include <cstdint>

namespace varnock::console {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when there is none (RFC 3629's table of well-formed byte sequences).
std::size_t SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const auto within = [&](std::size_t i, std::uint8_t low, std::uint8_t high) {
        return i < text.size() && byte(i) >= low && byte(i) <= high;
    };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    // The second byte's range narrows for the leads where an overlong form,
    // a surrogate or a code point past U+10FFFF would otherwise start.
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!within(1, low, high)) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!within(i, 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string ValidUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = SequenceLength(bytes);
        if (length == 0) {
            text += kReplacement;
            bytes.remove_prefix(1);
        } else {
            text += bytes.substr(0, length);
            bytes.remove_prefix(length);
        }
    }
    return text;
}

std::string LabelValue(std::string_view bytes) {
    const std::string valid = ValidUtf8(bytes);
    std::string text;
    text.reserve(valid.size());
    for (const char c : valid) {
        switch (c) {
            case '\\':
                text += "\\\\";
                break;
            case '"':
                text += "\\\"";
                break;
            case '\n':
                text += "\\n";
                break;
            default:
                text += c;
        }
    }
    return text;
}

}  // namespace varnock::console
