#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "console/targets.h"
#include "lookup/hardware_address_text.h"
#include "lookup/neighbour_resolver.h"

namespace varnock::console {

// What one target came to.
struct AddressResult {
    IpAddress address;
    std::string name;   // the host name it was given as; empty for an address
    std::string given;  // the argument it came from, as the user gave it
    // The window's text of the answer; empty when there is none.
    std::optional<std::string> hardwareAddress;
    // The answer's bytes, for its vendor; empty when there is none.
    HardwareAddressBytes bytes;
    // Why there is no answer; empty when there is one.
    std::string reason;
    // The interface the lookup went through, when known.
    std::uint32_t interfaceIndex = 0;
    // How a cached answer was known (--cached); nothing for a live lookup,
    // whose answer that lookup confirmed.
    std::optional<AnswerProvenance> provenance;

    bool Answered() const { return hardwareAddress.has_value(); }
};

// How every target of a run is looked up.
struct LookupSettings {
    std::string delimiter = ":";
    std::uint32_t interfaceIndex = 0;  // -I; 0: wherever the route leads
    std::optional<std::chrono::milliseconds> maxWait;
};

// Looks `target` up through `resolver`. An IPv4 address goes exactly the
// window's way (QueryMacAddress, with the settings' delimiter), an IPv6
// address through the same checks of the answer; the reason is kept when
// there is no answer. Exceptions from `resolver` propagate.
AddressResult LookUpTarget(const Target& target, const LookupSettings& settings,
                           NeighbourResolver& resolver);

// A result without an answer, for `reason`.
AddressResult Unanswered(const Target& target, std::string reason);

}  // namespace varnock::console
