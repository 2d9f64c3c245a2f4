#pragma once

// The results of a lookup, shared by the window's contract (arp_request.h)
// and the neighbour engine (neighbour_engine.h).

#include <cstdint>
#include <string_view>

namespace varnock {

// Result codes of ArpRequest::Send. Where Windows has an error code for the
// same condition the number is Windows' own, so the Windows request passes
// the system's result through unchanged. The finer reasons that only the
// Linux request can tell apart carry the bit that Windows leaves to
// applications (bit 29), so they never collide with a system code.
namespace arp_status {
inline constexpr std::uint32_t kOk = 0;                 // NO_ERROR
inline constexpr std::uint32_t kNotSupported = 50;      // ERROR_NOT_SUPPORTED
inline constexpr std::uint32_t kNoAnswer = 67;          // ERROR_BAD_NET_NAME
inline constexpr std::uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kBufferTooSmall = 111;   // ERROR_BUFFER_OVERFLOW
inline constexpr std::uint32_t kNoRoute = 0x2000'0001;
inline constexpr std::uint32_t kNotOnLink = 0x2000'0002;           // reached through a gateway
inline constexpr std::uint32_t kNotUnicast = 0x2000'0003;          // broadcast, multicast, ...
inline constexpr std::uint32_t kLinkWithoutArp = 0x2000'0004;      // no ARP or no 6-byte address
inline constexpr std::uint32_t kBlockedByFirewall = 0x2000'0005;   // a rule here dropped our send
inline constexpr std::uint32_t kNeighbourTableFull = 0x2000'0006;  // the kernel has no room
inline constexpr std::uint32_t kInterfaceDown = 0x2000'0007;       // down, or no carrier
inline constexpr std::uint32_t kNotCached = 0x2000'0008;       // no address in the neighbour table
inline constexpr std::uint32_t kWrongInterface = 0x2000'0009;  // the route leaves elsewhere
inline constexpr std::uint32_t kNeedsInterface = 0x2000'000A;  // link-local without its interface
inline constexpr std::uint32_t kNotConfirmed =
    0x2000'000B;  // an old address nobody confirmed in time
inline constexpr std::uint32_t kSystemError = 0x2000'000C;  // the system could not be asked
inline constexpr std::uint32_t kInterfaceWouldNotSend =
    0x2000'000D;  // no request went out: the interface refused them (a full queue)
}  // namespace arp_status

// A short English reason for a result code, for front ends that explain
// failures (the window does not: it shows one message for all of them).
std::string_view DescribeArpStatus(std::uint32_t status);

}  // namespace varnock
