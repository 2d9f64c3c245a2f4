#include "console/address_arguments.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include "console/usage_error.h"
#include "lookup/address_text.h"

namespace varnock::console {
namespace {

// What ParseIpAddress returns for a text it rejects, and also for the one
// text that really means that address.
constexpr Ipv4Address kRejected = 0xFFFF'FFFF;
constexpr std::string_view kAllOnesText = "255.255.255.255";

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
    const std::uint32_t hostBits = *prefix == 32 ? 0 : ~std::uint32_t{0} >> *prefix;
    const std::uint32_t network = *base & ~hostBits;
    // A /31 has no network or broadcast address (point-to-point links), and
    // a /32 is a single host.
    if (*prefix >= 31) {
        return {network, network | hostBits};
    }
    return {network + 1, (network | hostBits) - 1};
}

std::vector<Ipv4Address> AddressesOf(const std::string& argument) {
    if (argument.empty()) {
        throw UsageError(Quoted(argument) + ": not an IPv4 address");
    }
    if (const std::size_t slash = argument.find('/'); slash != std::string::npos) {
        const Network network = ParseNetwork(argument, slash);
        std::vector<Ipv4Address> addresses;
        addresses.reserve(network.Count());
        for (std::uint32_t number = network.first;; ++number) {
            addresses.push_back(FromNumber(number));
            if (number == network.last) {
                break;
            }
        }
        return addresses;
    }
    const Ipv4Address address = ParseIpAddress(argument);
    // 255.255.255.255 is an address (one that is never answered); anything
    // else that comes back as it was refused by the parser.
    if (address == kRejected && argument != kAllOnesText) {
        throw UsageError(Quoted(argument) + ": not an IPv4 address");
    }
    return {address};
}

}  // namespace

std::vector<Ipv4Address> ExpandAddressArguments(std::span<const std::string> arguments) {
    std::vector<Ipv4Address> all;
    for (const std::string& argument : arguments) {
        const auto addresses = AddressesOf(argument);
        if (all.size() + addresses.size() > kMaxAddresses) {
            throw UsageError(Quoted(argument) + ": too many addresses (at most " +
                             std::to_string(kMaxAddresses) + " in one run)");
        }
        all.insert(all.end(), addresses.begin(), addresses.end());
    }
    return all;
}

std::string DottedText(Ipv4Address address) {
    const std::uint32_t number = ToNumber(address);
    return std::to_string(number >> 24) + '.' + std::to_string((number >> 16) & 0xFF) + '.' +
           std::to_string((number >> 8) & 0xFF) + '.' + std::to_string(number & 0xFF);
}

}  // namespace varnock::console
