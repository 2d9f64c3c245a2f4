#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lookup/ip_address.h"
#include "lookup/neighbour_engine.h"

namespace varnock::console {

// At most this many addresses in one run: a /16 and no more. Larger sweeps
// take longer than anyone waits for an ARP scan (a /16 with few hosts home
// already takes minutes at the kernel's pace).
inline constexpr std::size_t kMaxAddresses = 65536;
inline constexpr int kShortestPrefix = 16;
// An IPv6 network stands for all its addresses: no larger than 256 of them.
inline constexpr int kShortestIpv6Prefix = 120;

// The longest target text: a host name, or an address with an interface
// name (Windows' may be this long; Linux's at most 15 bytes) and a prefix.
inline constexpr std::size_t kLongestHostName = 253;
inline constexpr std::size_t kLongestInterfaceName = 256;
inline constexpr std::size_t kLongestTarget = kLongestHostName + 1 + kLongestInterfaceName + 4;

// One address to look up, the argument it came from as the user gave it,
// and the host name it came from, if it did.
struct Target {
    IpAddress address;
    std::string name;
    std::string given;
};

// What reading targets needs from the system: main gives the real one,
// tests their own. Neither may be empty.
struct TargetSystem {
    // Every IPv4 and IPv6 address of a host name; empty for an unknown name.
    std::function<std::vector<IpAddress>(const std::string& name)> resolveName;
    std::function<std::optional<std::uint32_t>(const std::string& name)> interfaceIndexNamed;
};

// The addresses the arguments name, in the order given. An argument is
//   - an IPv4 address text exactly as the window takes it (ParseIpAddress:
//     shorthand such as "10.1" included), every form of 255.255.255.255
//     ("0xffffffff", "4294967295") too;
//   - an IPv6 address, a link-local one with its interface (fe80::1%eth0);
//   - an IPv4 network, four decimal parts, a slash and a prefix length
//     ("192.0.2.0/24"): its host addresses (all but the network and
//     broadcast addresses; both of a /31, the one of a /32; host bits are
//     ignored), at most a /16;
//   - an IPv6 network no larger than a /120: its addresses but the first
//     (the subnet-router anycast address), both of a /127, one of a /128;
//   - an IPv4 range, "192.0.2.10-192.0.2.20" or "192.0.2.10-20";
//   - a host name: every IPv4 and IPv6 address the resolver gives it. A
//     text whose every dot-separated part is a number as inet_addr writes
//     them (decimal, 0 octal, 0x hexadecimal) is never a name: it is an
//     address or a mistake.
// Throws UsageError naming the first argument that is none of these (or
// longer than kLongestTarget), or an unknown interface, or more than
// kMaxAddresses in all.
std::vector<Target> ExpandTargets(std::span<const std::string> arguments,
                                  const TargetSystem& system);

// The host addresses of a directly attached network (as a network argument
// stands for them); throws UsageError when it is larger than a /16.
std::vector<Target> HostsOf(const AttachedNetwork& network, const std::string& interfaceName);

// Appends `more` to `all`, or throws UsageError naming `what` when that
// would make more than kMaxAddresses.
void AppendWithinLimit(std::vector<Target>& all, std::vector<Target> more, const std::string& what);

}  // namespace varnock::console
