#include "lookup/hardware_address_text.h"

namespace varnock {
namespace {

constexpr std::size_t kMacAddressLength = 6;

void AppendTwoHexDigits(std::string& text, std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
}

}  // namespace

std::string FormatMacAddress(const HardwareAddressBytes& bytes, const std::string& delimiter) {
    if (bytes.size() != kMacAddressLength) {
        return {};
    }
    try {
        std::string text;
        for (std::size_t i = 0; i < kMacAddressLength; ++i) {
            if (i > 0) {
                text += delimiter;
            }
            AppendTwoHexDigits(text, bytes[i]);
        }
        return text;
    } catch (...) {
        // The caller shows whatever text it gets; a marker it can display
        // beats a failure it would have to handle.
        return "ERROR";
    }
}

}  // namespace varnock
