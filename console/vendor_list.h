#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "lookup/hardware_address_text.h"

namespace varnock::console {

// Debian's ieee-data package: the IEEE's list of OUI (MA-L) assignments.
inline constexpr std::string_view kSystemVendorListPath = "/usr/share/ieee-data/oui.txt";

// Vendor names by the first three bytes of a hardware address, as the IEEE
// publishes them in oui.txt, where each assignment has a line
//   00-1A-2B   (hex)		Vendor Name
// (other lines, such as the "(base 16)" one that follows, are skipped).
class VendorList {
public:
    // Nothing when the file cannot be read: vendor names are optional.
    static std::optional<VendorList> Load(const std::string& path);
    static VendorList Parse(std::string text);

    // The vendor of the first three bytes, if the list names one.
    std::optional<std::string_view> Find(const HardwareAddressBytes& bytes) const;

    std::size_t Size() const { return vendors_.size(); }

private:
    // The names point into it; kept apart so that a move leaves them valid.
    std::unique_ptr<const std::string> text_;
    std::unordered_map<std::uint32_t, std::string_view> vendors_;
};

}  // namespace varnock::console
