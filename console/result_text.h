#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/address_lookup.h"

namespace varnock::console {

// How a run names what it shows.
struct ResultNaming {
    // The interface with an index, for link-local addresses and JSON.
    std::function<std::string(std::uint32_t)> interfaceName;
    // The first column's width in text: the widest first column of the run.
    std::size_t column = 15;
};

// The first column of a result's line: its address, and the host name it
// came from, "192.0.2.2 (labhost)".
std::string TargetColumn(const AddressResult& result, const ResultNaming& naming);

// One line for a person, without the line end: the target, then the
// hardware address and its vendor when known, or the reason there is none;
// a cached answer the system has not confirmed lately is marked.
//   192.0.2.2        02:1A:2B:3C:4D:5E  Vendor Name
//   192.0.2.3        02:1A:2B:3C:4D:5F  (unconfirmed: stale, last confirmed 42 s ago)
//   192.0.2.77       no answer
std::string TextLine(const AddressResult& result, std::optional<std::string_view> vendor,
                     const ResultNaming& naming);

// One JSON object for a script:
//   {"address": "192.0.2.2", "hardware_address": "02:1A:2B:3C:4D:5E", "reason": null,
//    "vendor": "Vendor Name"}
// "hardware_address" or "reason" is null, whichever does not apply;
// "vendor" is there only when the vendor is known; "name" when the target
// was a host name; "interface" when the lookup knows it; a cached answer
// adds "confirmed", "state" and "seconds_since_confirmed" (or null).
std::string JsonObject(const AddressResult& result, std::optional<std::string_view> vendor,
                       const ResultNaming& naming);

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 become
// U+FFFD, so the document stays valid whatever a name or delimiter holds.
std::string JsonString(std::string_view text);

}  // namespace varnock::console
