#include "lookup/hardware_address_text.h"

#include "lookup/hex_digits.h"

namespace varnock {
namespace {

constexpr std::size_t kMacAddressLength = 6;

}  // namespace

std::string HardwareAddressText(const HardwareAddressBytes& bytes, std::string_view delimiter) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += delimiter;
        }
        AppendHexDigits(text, bytes[i], 2);
    }
    return text;
}

std::string FormatMacAddress(const HardwareAddressBytes& bytes, const std::string& delimiter) {
    if (bytes.size() != kMacAddressLength) {
        return {};
    }
    try {
        return HardwareAddressText(bytes, delimiter);
    } catch (...) {
        // The caller shows whatever text it gets; a marker it can display
        // beats a failure it would have to handle.
        return "ERROR";
    }
}

}  // namespace varnock
