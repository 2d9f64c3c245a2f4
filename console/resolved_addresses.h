#pragma once

// Included by each platform's system.cpp after its own socket headers: the
// addresses of a resolver's answer, whichever platform gave it.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "lookup/ip_address.h"

namespace varnock::console {

// Every IPv4 and IPv6 address of a getaddrinfo list, each once, in order.
template <typename AddressInfo>
std::vector<IpAddress> ResolvedAddresses(const AddressInfo* first) {
    std::vector<IpAddress> addresses;
    for (const AddressInfo* entry = first; entry != nullptr; entry = entry->ai_next) {
        IpAddress address;
        if (entry->ai_family == AF_INET) {
            sockaddr_in v4;
            std::memcpy(&v4, entry->ai_addr, sizeof v4);
            address = IpAddress::V4(v4.sin_addr.s_addr);
        } else if (entry->ai_family == AF_INET6) {
            sockaddr_in6 v6;
            std::memcpy(&v6, entry->ai_addr, sizeof v6);
            std::array<std::uint8_t, 16> bytes;
            std::memcpy(bytes.data(), &v6.sin6_addr, bytes.size());
            address = IpAddress::V6(bytes, v6.sin6_scope_id);
        } else {
            continue;
        }
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
    }
    return addresses;
}

}  // namespace varnock::console
