#pragma once

// The hexadecimal digits of every text the program writes: hardware
// addresses, and the escapes of JSON and of terminal text.

#include <cstdint>
#include <string>

namespace varnock {

enum class HexLetters { kUpper, kLower };

// Appends the `digits` lowest hexadecimal digits of `value`, the most
// significant first.
inline void AppendHexDigits(std::string& text, std::uint32_t value, int digits,
                            HexLetters letters = HexLetters::kUpper) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        const char digit = kDigits[(value >> shift) & 0xF];
        text += letters == HexLetters::kLower && digit >= 'A' ? static_cast<char>(digit - 'A' + 'a')
                                                              : digit;
    }
}

}  // namespace varnock
