#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/lookups/address_lookup.h"
#include "console/vendors/vendor_names.h"

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
// hardware address and its vendor (or that it is locally administered),
// or the reason there is none; a cached answer the system has not confirmed
// lately is marked.
//   192.0.2.2        02:1A:2B:3C:4D:5E  (locally administered)
//   192.0.2.3        00:1A:2B:3C:4D:5F  Vendor Name  (unconfirmed: stale, last confirmed 42 s ago)
//   192.0.2.77       no answer
std::string TextLine(const AddressResult& result, const Vendor& vendor, const ResultNaming& naming);

// The fields of every machine-readable form, in this order (a stable
// interface; README lists them):
//   target, address, hardware_address, vendor, locally_administered,
//   reason, interface, from_cache, confirmed, state, seconds_since_confirmed
// One JSON object (for --json and --jsonl), absent values null.
std::string JsonObject(const AddressResult& result, const Vendor& vendor,
                       const ResultNaming& naming);

// CSV (RFC 4180): the header line and one record, each with its CRLF; an
// absent value is an empty field.
std::string CsvHeader();
std::string CsvRecord(const AddressResult& result, const Vendor& vendor,
                      const ResultNaming& naming);

}  // namespace varnock::console
