// Any bytes and any delimiter: six bytes give twelve upper-case hex digits
// and five delimiters; any other count gives the empty text.

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lookup/hardware_address_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t byteCount = data[0] % 10;
    const std::size_t taken = byteCount < size - 1 ? byteCount : size - 1;
    const varnock::HardwareAddressBytes bytes(data + 1, data + 1 + taken);
    const std::string delimiter(reinterpret_cast<const char*>(data + 1 + taken), size - 1 - taken);

    const std::string text = varnock::FormatMacAddress(bytes, delimiter);
    if (bytes.size() != 6) {
        if (!text.empty()) std::abort();
        return 0;
    }
    if (text.size() != 12 + 5 * delimiter.size()) std::abort();
    for (std::size_t pair = 0; pair < 6; ++pair) {
        const std::size_t at = pair * (2 + delimiter.size());
        for (std::size_t digit = 0; digit < 2; ++digit) {
            const char c = text[at + digit];
            if (!std::isxdigit(static_cast<unsigned char>(c)) ||
                std::islower(static_cast<unsigned char>(c))) {
                std::abort();
            }
        }
        if (pair < 5 && text.compare(at + 2, delimiter.size(), delimiter) != 0) std::abort();
    }
    return 0;
}
