#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "console/lookups/targets.h"
#include "lookup/hardware_address_text.h"
#include "lookup/neighbour_engine.h"

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
    // How a cached answer was known (--cached), or the state of an address
    // nobody confirmed in time; nothing for a live lookup's answer, which
    // that lookup confirmed.
    std::optional<AnswerProvenance> provenance;
    // The address the system last knew, when nobody confirmed it in time.
    std::optional<std::string> lastKnownHardwareAddress;
    // Another address the same hardware address answered for on that link
    // in this run (proxy ARP), as text.
    std::optional<std::string> alsoAnswersFor;
    // The system could not be asked (no descriptor, no memory): the reason
    // says why, and no lookup's verdict it is.
    bool systemFailure = false;

    bool Answered() const { return hardwareAddress.has_value(); }
};

// How every target of a run is looked up.
struct LookupSettings {
    std::string delimiter = ":";
    std::uint32_t interfaceIndex = 0;  // -I; 0: wherever the route leads
    std::optional<std::chrono::milliseconds> maxWait;
};

// What the engine is to be asked for `target`; nothing when the window's way
// asks nothing (0.0.0.0), and `NotAsked` is then its result.
std::optional<NeighbourQuery> QueryFor(const Target& target, const LookupSettings& settings);
AddressResult NotAsked(const Target& target);

// What the engine's `answer` for `target` comes to. An IPv4 address goes
// exactly the window's way (QueryMacAddress, with the settings' delimiter),
// an IPv6 address through the same checks of the answer; the reason is kept
// when there is no answer.
AddressResult ResultOf(const Target& target, const LookupSettings& settings,
                       const NeighbourAnswer& answer);

// A result without an answer, for `reason`.
AddressResult Unanswered(const Target& target, std::string reason);

}  // namespace varnock::console
