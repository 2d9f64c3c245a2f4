#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <cstring>

namespace varnock {

// An IPv4 address in network byte order, exactly as inet_addr returns it.
using Ipv4Address = std::uint32_t;

// An IPv4 or IPv6 address as it travels on the wire (network byte order),
// with the interface a link-local IPv6 address belongs to.
struct IpAddress {
    enum class Family : std::uint8_t { kV4, kV6 };

    Family family = Family::kV4;
    std::array<std::uint8_t, 16> bytes{};  // an IPv4 address uses the first four
    std::uint32_t scope = 0;               // interface index of a link-local address; 0: none

    static IpAddress V4(Ipv4Address address) {
        IpAddress result;
        std::memcpy(result.bytes.data(), &address, sizeof address);
        return result;
    }
    static IpAddress V6(const std::array<std::uint8_t, 16>& address, std::uint32_t scope = 0) {
        return {Family::kV6, address, scope};
    }

    Ipv4Address V4Value() const {
        Ipv4Address address = 0;
        std::memcpy(&address, bytes.data(), sizeof address);
        return address;
    }
    std::size_t Size() const { return family == Family::kV4 ? 4 : 16; }
    bool IsV6() const { return family == Family::kV6; }
    // fe80::/10: meaningful only together with its interface.
    bool IsLinkLocal() const { return IsV6() && bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0x80; }
    bool IsMulticast() const { return IsV6() ? bytes[0] == 0xFF : (bytes[0] & 0xF0) == 0xE0; }
    bool IsUnspecified() const {
        for (std::size_t i = 0; i < Size(); ++i) {
            if (bytes[i] != 0) {
                return false;
            }
        }
        return true;
    }

    // The same address, whatever scope either carries.
    bool SameAddress(const IpAddress& other) const {
        return family == other.family && bytes == other.bytes;
    }
    friend bool operator==(const IpAddress&, const IpAddress&) = default;
};

}  // namespace varnock
