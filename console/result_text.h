#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "console/address_lookup.h"

namespace varnock::console {

// One line for a person, without the line end: the address, then the
// hardware address and its vendor when known, or the reason there is none;
// a cached answer the system has not confirmed lately is marked.
//   192.0.2.2        02:1A:2B:3C:4D:5E  Vendor Name
//   192.0.2.3        02:1A:2B:3C:4D:5F  (unconfirmed: stale, last confirmed 42 s ago)
//   192.0.2.77       no answer
std::string TextLine(const AddressResult& result, std::optional<std::string_view> vendor);

// One JSON object for a script:
//   {"address": "192.0.2.2", "hardware_address": "02:1A:2B:3C:4D:5E", "reason": null,
//    "vendor": "Vendor Name"}
// "hardware_address" or "reason" is null, whichever does not apply;
// "vendor" is there only when the vendor is known; a cached answer adds
// "confirmed", "state" and "seconds_since_confirmed" (or null).
std::string JsonObject(const AddressResult& result, std::optional<std::string_view> vendor);

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 become
// U+FFFD, so the document stays valid whatever a name or delimiter holds.
std::string JsonString(std::string_view text);

}  // namespace varnock::console
