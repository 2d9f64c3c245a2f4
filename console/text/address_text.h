#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lookup/ip_address.h"

namespace varnock::console {

// "192.0.2.1" for an address in network byte order.
std::string DottedText(Ipv4Address address);

// The address as people write it: dotted IPv4, IPv6 in its shortest form
// with "%interface" for a link-local one (`interfaceName` names it).
std::string AddressText(const IpAddress& address,
                        const std::function<std::string(std::uint32_t)>& interfaceName);

// The address without its interface: what a record or an event names
// beside the interface it holds anyway.
std::string PlainAddress(const IpAddress& address);

// "192.0.2.2, 192.0.2.3": plain addresses, in the order given.
std::string AddressList(const std::vector<IpAddress>& addresses);

}  // namespace varnock::console
