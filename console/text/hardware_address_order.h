#pragma once

#include <cstddef>

#include "lookup/hardware_address_text.h"

namespace varnock::console {

// Hardware addresses as map keys, in the vector's own order (byte by byte,
// a shorter one first where it starts the other), but compared here: GCC 12
// at -O3 takes the vector's comparison for a read past the end (a false
// -Wstringop-overread, an error in the Release build).
struct HardwareAddressOrder {
    bool operator()(const HardwareAddressBytes& a, const HardwareAddressBytes& b) const {
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            if (a[i] != b[i]) {
                return a[i] < b[i];
            }
        }
        return a.size() < b.size();
    }
};

}  // namespace varnock::console
