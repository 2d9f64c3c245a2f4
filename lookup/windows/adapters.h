#pragma once

// The machine's network adapters as IP Helper's GetAdaptersAddresses tells
// them: what -I, --localnet and the interface names of results need.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lookup/arp_request.h"

namespace varnock::windows_backend {

struct AdapterIpv4Address {
    Ipv4Address address = 0;  // network byte order
    std::uint8_t prefixLength = 0;
};

struct Adapter {
    std::uint32_t ipv4Index = 0;  // 0: IPv4 is not enabled on it
    std::uint32_t ipv6Index = 0;  // 0: IPv6 is not enabled on it
    std::string friendlyName;     // UTF-8: "Ethernet", "Wi-Fi"
    std::string adapterName;      // the adapter's GUID text
    bool up = false;
    // Ethernet-like: a six-byte hardware address, not loopback, tunnel or
    // point-to-point, so neighbours are found by ARP.
    bool usesArp = false;
    std::vector<AdapterIpv4Address> ipv4;
};

// Every adapter. Throws std::system_error when the system will not tell.
std::vector<Adapter> ReadAdapters();

// The adapter that `name` means: its friendly name (exactly, or without
// regard to ASCII case), its GUID text, or its interface index in decimal.
std::optional<Adapter> AdapterNamed(const std::vector<Adapter>& adapters, const std::string& name);

// The adapter with the IPv4 or IPv6 interface index `index`.
const Adapter* AdapterOfIndex(const std::vector<Adapter>& adapters, std::uint32_t index);

}  // namespace varnock::windows_backend
