#include "console/lookups/targets.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include "console/command/usage_error.h"
#include "console/text/address_text.h"
#include "lookup/address_text.h"
#include "lookup/socket_text.h"

namespace varnock::console {
namespace {

// What ParseIpAddress returns for a text it rejects, and also for the texts
// that really mean that address.
constexpr Ipv4Address kRejected = 0xFFFF'FFFF;

// Network byte order is the order of the bytes in memory, whatever the
// machine: going through the bytes keeps that true on every platform.
std::uint32_t ToNumber(Ipv4Address address) {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address, sizeof address);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

Ipv4Address FromNumber(std::uint32_t number) {
    const std::array<std::uint8_t, 4> bytes{
        static_cast<std::uint8_t>(number >> 24), static_cast<std::uint8_t>(number >> 16),
        static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)};
    Ipv4Address address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

// A decimal number of at most `maxDigits` digits and nothing else.
std::optional<unsigned> DecimalNumber(std::string_view text, std::size_t maxDigits) {
    unsigned value = 0;
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A network's address takes only the usual four decimal parts: inet_addr
// would read "10.1/16" as 10.0.0.1, never what the writer meant. No part has
// a leading zero either: inet_addr reads "010" as octal 8, and one text must
// never mean two addresses.
std::optional<std::uint32_t> FourPartAddress(std::string_view text) {
    std::uint32_t number = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos || (dot > 1 && text.front() == '0')) {
            return std::nullopt;
        }
        const auto value = DecimalNumber(text.substr(0, dot), 3);
        if (!value || *value > 255) {
            return std::nullopt;
        }
        number = (number << 8) | *value;
        text.remove_prefix(std::min(dot + 1, text.size()));
    }
    return number;
}

struct Network {
    std::uint32_t first = 0;  // host addresses, inclusive
    std::uint32_t last = 0;
    std::size_t Count() const { return std::size_t{last - first} + 1; }
};

// The first and last host of the network that `address` lies in, as
// numbers. A /31 has no network or broadcast address (point-to-point
// links), and a /32 is a single host.
Network HostsBetween(std::uint32_t address, unsigned prefixLength) {
    const std::uint32_t hostBits = prefixLength >= 32 ? 0 : ~std::uint32_t{0} >> prefixLength;
    const std::uint32_t network = address & ~hostBits;
    if (prefixLength >= 31) {
        return {network, network | hostBits};
    }
    return {network + 1, (network | hostBits) - 1};
}

Network ParseNetwork(const std::string& argument, std::size_t slash) {
    const auto base = FourPartAddress(std::string_view(argument).substr(0, slash));
    if (!base) {
        throw UsageError(Quoted(argument) + ": not a network (write it as 192.0.2.0/24)");
    }
    const auto prefix = DecimalNumber(std::string_view(argument).substr(slash + 1), 2);
    if (!prefix || *prefix > 32) {
        throw UsageError(Quoted(argument) + ": the prefix length must be a number from 0 to 32");
    }
    if (*prefix < kShortestPrefix) {
        throw UsageError(Quoted(argument) + ": network too large (at most a /" +
                         std::to_string(kShortestPrefix) + ", " +
                         std::to_string(kMaxAddresses - 2) + " addresses)");
    }
    return HostsBetween(*base, static_cast<unsigned>(*prefix));
}

std::vector<Target> HostRange(std::uint32_t first, std::uint32_t last) {
    std::vector<Target> targets;
    targets.reserve(std::size_t{last - first} + 1);
    for (std::uint32_t number = first;; ++number) {
        targets.push_back({IpAddress::V4(FromNumber(number)), {}, {}});
        if (number == last) {
            break;
        }
    }
    return targets;
}

// "192.0.2.10-192.0.2.20", or "192.0.2.10-20" with the last part alone.
std::vector<Target> ParseRange(const std::string& argument, std::size_t dash) {
    const std::string_view text(argument);
    const auto first = FourPartAddress(text.substr(0, dash));
    const std::string_view end = text.substr(dash + 1);
    std::optional<std::uint32_t> last;
    if (end.find('.') == std::string_view::npos) {
        if (const auto part = DecimalNumber(end, 3);
            first && part && *part <= 255 && !(end.size() > 1 && end.front() == '0')) {
            last = (*first & 0xFFFF'FF00u) | *part;
        }
    } else {
        last = FourPartAddress(end);
    }
    if (!first || !last) {
        throw UsageError(Quoted(argument) + ": not a range (write it as 192.0.2.10-20)");
    }
    if (*last < *first) {
        throw UsageError(Quoted(argument) + ": the range ends before it starts");
    }
    if (std::uint64_t{*last} - *first + 1 > kMaxAddresses) {
        throw UsageError(Quoted(argument) + ": range too large (at most " +
                         std::to_string(kMaxAddresses) + " addresses)");
    }
    return HostRange(*first, *last);
}

// An IPv6 address, with "%interface" for its scope; a "/prefix" is split off
// by the caller.
IpAddress ParseIpv6(const std::string& argument, std::string_view text,
                    const TargetSystem& system) {
    std::uint32_t scope = 0;
    if (const std::size_t percent = text.find('%'); percent != std::string_view::npos) {
        const std::string named(text.substr(percent + 1));
        const auto index = named.empty() ? std::nullopt : system.interfaceIndexNamed(named);
        if (!index) {
            throw UsageError(Quoted(argument) + ": no interface named " + Quoted(named));
        }
        scope = *index;
        text = text.substr(0, percent);
    }
    std::array<std::uint8_t, 16> bytes{};
    const std::string address(text);
    if (::inet_pton(AF_INET6, address.c_str(), bytes.data()) != 1) {
        throw UsageError(Quoted(argument) + ": not an IPv6 address");
    }
    IpAddress result = IpAddress::V6(bytes, scope);
    if (scope != 0 && !result.IsLinkLocal()) {
        throw UsageError(Quoted(argument) + ": only a link-local address takes an interface");
    }
    return result;
}

std::vector<Target> ParseIpv6Network(const std::string& argument, std::size_t slash,
                                     const TargetSystem& system) {
    IpAddress base = ParseIpv6(argument, std::string_view(argument).substr(0, slash), system);
    const auto prefix = DecimalNumber(std::string_view(argument).substr(slash + 1), 3);
    if (!prefix || *prefix > 128) {
        throw UsageError(Quoted(argument) + ": the prefix length must be a number from 0 to 128");
    }
    if (*prefix < kShortestIpv6Prefix) {
        throw UsageError(Quoted(argument) + ": network too large (at most a /" +
                         std::to_string(kShortestIpv6Prefix) + ")");
    }
    // The host part lies in the last byte.
    const unsigned hostBits = 128 - *prefix;
    const auto mask = static_cast<std::uint8_t>(0xFFu << hostBits);
    base.bytes[15] = static_cast<std::uint8_t>(base.bytes[15] & mask);
    const unsigned count = 1u << hostBits;
    std::vector<Target> targets;
    for (unsigned host = count <= 2 ? 0 : 1; host < count; ++host) {
        IpAddress address = base;
        address.bytes[15] = static_cast<std::uint8_t>(base.bytes[15] | host);
        targets.push_back({address, {}, {}});
    }
    return targets;
}

// One part of an address as inet_addr reads it: decimal, octal after a
// leading 0, hexadecimal after 0x. Nothing when the text is no such number
// or exceeds 32 bits.
std::optional<std::uint32_t> AddressPart(std::string_view text) {
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() >= 2 && text[0] == '0') {
        base = 8;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        const bool decimal = c >= '0' && c <= '9';
        const bool hex = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        const unsigned digit = decimal ? static_cast<unsigned>(c - '0')
                               : hex   ? static_cast<unsigned>((c | 0x20) - 'a' + 10)
                                       : base;
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFF'FFFF) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

// Whether every dot-separated part of `text` (up to any white space, where
// inet_addr stops reading) looks like such a number: such a text is an
// address, written well or not, never a host name.
bool LooksLikeAddress(std::string_view text) {
    text = text.substr(0, text.find_first_of(" \t\n\v\f\r"));
    for (;;) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        const bool hex = part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X');
        if (part.empty() || !(part[0] >= '0' && part[0] <= '9') ||
            part.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789", hex ? 2 : 0) !=
                std::string_view::npos) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        text.remove_prefix(dot + 1);
    }
}

// Whether inet_addr reads `text` as 255.255.255.255, in any of its forms
// ("0xffffffff", "4294967295", "0377.255.65535"): it answers that address
// exactly as it answers a text it refuses, so the forms are told apart
// here. One to four parts; the last fills the bytes the others leave.
bool ReadsAsAllOnes(std::string_view text) {
    text = text.substr(0, text.find_first_of(" \t\n\v\f\r"));
    if (!LooksLikeAddress(text)) {
        return false;
    }
    int parts = 0;
    for (;;) {
        const std::size_t dot = text.find('.');
        const auto value = AddressPart(text.substr(0, dot));
        ++parts;
        if (dot == std::string_view::npos) {
            return value == 0xFFFF'FFFFu >> (8 * (parts - 1));
        }
        if (value != 0xFFu || parts == 4) {
            return false;
        }
        text.remove_prefix(dot + 1);
    }
}

// Only letters, digits, hyphens, underscores and dots, and not only digits
// and dots, nor numbers in inet_addr's forms: such a text is an address
// that could not be read, never a name to hand to the resolver.
bool LooksLikeHostName(const std::string& text) {
    if (text.empty() || text.size() > kLongestHostName || LooksLikeAddress(text)) {
        return false;
    }
    bool letter = false;
    for (const char c : text) {
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        letter = letter || alpha || c == '-' || c == '_';
        if (!alpha && !(c >= '0' && c <= '9') && c != '-' && c != '_' && c != '.') {
            return false;
        }
    }
    return letter;
}

std::vector<Target> TargetsOf(const std::string& argument, const TargetSystem& system) {
    if (argument.find(':') != std::string::npos) {
        if (const std::size_t slash = argument.find('/'); slash != std::string::npos) {
            return ParseIpv6Network(argument, slash, system);
        }
        return {{ParseIpv6(argument, argument, system), {}, {}}};
    }
    if (const std::size_t slash = argument.find('/'); slash != std::string::npos) {
        const Network network = ParseNetwork(argument, slash);
        return HostRange(network.first, network.last);
    }
    if (const std::size_t dash = argument.find('-');
        dash != std::string::npos &&
        argument.find_first_not_of("0123456789.-") == std::string::npos) {
        return ParseRange(argument, dash);
    }
    const Ipv4Address address = ParseIpAddress(argument);
    // 255.255.255.255 is an address (one that is never answered); anything
    // else that comes back as it was refused by the parser, unless it is a
    // host name.
    if (address != kRejected || ReadsAsAllOnes(argument)) {
        return {{IpAddress::V4(address), {}, {}}};
    }
    if (!LooksLikeHostName(argument)) {
        throw UsageError(Quoted(argument) + ": not an IPv4 address");
    }
    std::vector<Target> targets;
    for (const IpAddress& found : system.resolveName(argument)) {
        targets.push_back({found, argument, {}});
    }
    if (targets.empty()) {
        throw UsageError(Quoted(argument) + ": no such host");
    }
    return targets;
}

}  // namespace

void AppendWithinLimit(std::vector<Target>& all, std::vector<Target> more,
                       const std::string& what) {
    if (all.size() + more.size() > kMaxAddresses) {
        throw UsageError(Quoted(what) + ": too many addresses (at most " +
                         std::to_string(kMaxAddresses) + " in one run)");
    }
    all.insert(all.end(), std::make_move_iterator(more.begin()),
               std::make_move_iterator(more.end()));
}

std::vector<Target> ExpandTargets(std::span<const std::string> arguments,
                                  const TargetSystem& system) {
    std::vector<Target> all;
    for (const std::string& argument : arguments) {
        // A NUL would end the text early where it is handed on as a C string.
        if (argument.empty() || argument.find('\0') != std::string::npos) {
            throw UsageError(Quoted(argument) + ": not an IPv4 address");
        }
        if (argument.size() > kLongestTarget) {
            throw UsageError(Quoted(argument) + ": longer than any target (at most " +
                             std::to_string(kLongestTarget) + " bytes)");
        }
        auto targets = TargetsOf(argument, system);
        for (Target& target : targets) {
            target.given = argument;
        }
        AppendWithinLimit(all, std::move(targets), argument);
    }
    return all;
}

std::vector<Target> HostsOf(const AttachedNetwork& network, const std::string& interfaceName) {
    const std::string what = DottedText(network.address) + '/' +
                             std::to_string(network.prefixLength) + " on " + interfaceName;
    if (network.prefixLength < kShortestPrefix) {
        throw UsageError(Quoted(what) + ": network too large (at most a /" +
                         std::to_string(kShortestPrefix) + ")");
    }
    const auto hosts = HostsBetween(ToNumber(network.address), network.prefixLength);
    auto targets = HostRange(hosts.first, hosts.last);
    // The network's own address: the first host, or the one before it.
    const std::uint32_t base = network.prefixLength >= 31 ? hosts.first : hosts.first - 1;
    const std::string given =
        DottedText(FromNumber(base)) + '/' + std::to_string(network.prefixLength);
    for (Target& target : targets) {
        target.given = given;
    }
    return targets;
}

}  // namespace varnock::console
