// Any text as a names file (/etc/ethers format): the reader must never crash
// or throw; every name it keeps is one word within the limit, every note
// within its limit; and a line it reports is a line the text has.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/names/device_names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnock::console;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DeviceNames names;
    names.Add(text, "fuzz");
    std::size_t lines = 0;
    for (const char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    if (names.Problems().size() > lines + 1) {
        std::abort();
    }
    // Addresses from the input's own bytes, so that some of them are named.
    for (std::size_t at = 0; at + 6 <= size; ++at) {
        const DeviceName* name = names.Of(varnock::HardwareAddressBytes(data + at, data + at + 6));
        if (name == nullptr) {
            continue;
        }
        if (name->name.empty() || name->name.size() > kLongestDeviceName ||
            name->name.find_first_of(" \t\r\n#") != std::string::npos ||
            (name->note && (name->note->empty() || name->note->size() > kLongestDeviceNote ||
                            name->note->find('\n') != std::string::npos))) {
            std::abort();
        }
    }
    (void)ParseEthersAddress(text);
    return 0;
}
