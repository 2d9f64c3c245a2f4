#pragma once

#include <optional>
#include <string_view>

#include "lookup/hardware_address_text.h"

namespace varnock::console {

// The longest hardware address any of these texts holds (a link layer's
// longest, InfiniBand's 20 bytes, with room to spare).
inline constexpr std::size_t kLongestHardwareText = 32;

enum class HardwareTextForm {
    // Two hexadecimal digits a byte, joined by ':': what this program writes.
    kTwoDigitsColons,
    // One or two digits a byte, joined all by ':' or all by '-': what
    // ethers(5) and people write.
    kOneOrTwoDigits,
};

// The bytes of `text` in `form` (either case), 1 to kLongestHardwareText of
// them; nothing for anything else.
std::optional<HardwareAddressBytes> ReadHardwareAddressText(std::string_view text,
                                                            HardwareTextForm form);

// The value of a hexadecimal digit of either case, -1 for anything else.
int HexDigitValue(char c);

}  // namespace varnock::console
