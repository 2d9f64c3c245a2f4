#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lookup/arp_request.h"

namespace varnock::console {

// At most this many addresses in one run: a /16 and no more. Larger sweeps
// take longer than anyone waits for an ARP scan (a /16 with few hosts home
// already takes minutes at the kernel's pace).
inline constexpr std::size_t kMaxAddresses = 65536;
inline constexpr int kShortestPrefix = 16;

// The addresses the arguments name, in the order given, each in network
// byte order. An argument is either an address text exactly as the window
// takes it (ParseIpAddress: shorthand such as "10.1" included) or a network
// written as four decimal parts, a slash and a prefix length
// ("192.0.2.0/24"), which stands for its host addresses: all but the
// network and broadcast addresses, both addresses of a /31, the one address
// of a /32. Host bits in a network are ignored, as in 192.0.2.7/24.
// Throws UsageError naming the first argument that is neither, or a network
// larger than a /16, or more than kMaxAddresses in all.
std::vector<Ipv4Address> ExpandAddressArguments(std::span<const std::string> arguments);

// "192.0.2.1" for an address in network byte order.
std::string DottedText(Ipv4Address address);

}  // namespace varnock::console
