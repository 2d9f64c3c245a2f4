#pragma once

#include <optional>
#include <string>

#include "lookup/arp_request.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {

// What one address came to.
struct AddressResult {
    Ipv4Address address = 0;
    // The window's text of the answer; empty when there is none.
    std::optional<std::string> hardwareAddress;
    // The answer's bytes, for its vendor; empty when there is none.
    HardwareAddressBytes bytes;
    // Why there is no answer; empty when there is one.
    std::string reason;
    // How a cached answer was known (--cached); nothing for a live lookup,
    // whose answer that lookup confirmed.
    std::optional<AnswerProvenance> provenance;

    bool Answered() const { return hardwareAddress.has_value(); }
};

// Looks `address` up exactly as the window does (QueryMacAddress, with
// `delimiter`), and keeps the reason when there is no answer. Exceptions
// from `request` propagate.
AddressResult LookUpAddress(Ipv4Address address, const std::string& delimiter, ArpRequest& request);

// A result without an answer, for `reason`.
AddressResult Unanswered(Ipv4Address address, std::string reason);

}  // namespace varnock::console
