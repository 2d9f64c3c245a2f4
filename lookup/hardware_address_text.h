#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnock {

// The bytes of a hardware address in the order they travel on the wire.
using HardwareAddressBytes = std::vector<std::uint8_t>;

// Two upper-case hexadecimal digits per byte, joined by `delimiter` (used
// verbatim, empty included), whatever the number of bytes.
std::string HardwareAddressText(const HardwareAddressBytes& bytes, std::string_view delimiter);

// The same for a MAC address: 00:1A:2B:3C:4D:5E. Anything but exactly six
// bytes gives the empty text; a failure while the text is built (memory
// exhausted) gives "ERROR" instead of escaping to the caller.
std::string FormatMacAddress(const HardwareAddressBytes& bytes, const std::string& delimiter);

}  // namespace varnock
