#include "console/text/hardware_address_reading.h"

namespace varnock::console {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<HardwareAddressBytes> ReadHardwareAddressText(std::string_view text,
                                                            HardwareTextForm form) {
    const bool loose = form == HardwareTextForm::kOneOrTwoDigits;
    const std::size_t fewestDigits = loose ? 1 : 2;
    HardwareAddressBytes bytes;
    char separator = 0;
    std::size_t at = 0;
    while (true) {
        unsigned value = 0;
        std::size_t digits = 0;
        while (at < text.size() && digits < 2 && HexDigitValue(text[at]) >= 0) {
            value = value * 16 + static_cast<unsigned>(HexDigitValue(text[at++]));
            ++digits;
        }
        if (digits < fewestDigits || bytes.size() == kLongestHardwareText) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (at == text.size()) {
            return bytes;
        }
        const char next = text[at++];
        const bool joins =
            separator != 0 ? next == separator : next == ':' || (loose && next == '-');
        if (!joins) {
            return std::nullopt;
        }
        separator = next;
    }
}

}  // namespace varnock::console
