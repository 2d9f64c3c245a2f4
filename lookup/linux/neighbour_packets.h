#pragma once

// The ARP and neighbour discovery messages the raw method sends and reads:
// pure builders and parsers, apart from the sockets, so that they can be
// tested and fuzzed on stored bytes. Every parser checks every length
// before it reads and refuses what it does not fully understand.

#include <linux/filter.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace varnock::linux_backend::packets {

using HardwareAddress = std::array<std::uint8_t, 6>;
using Ipv6Bytes = std::array<std::uint8_t, 16>;

// An ARP packet for Ethernet and IPv4, as an AF_PACKET datagram socket
// carries it (no link-layer header).
inline constexpr std::size_t kArpPacketSize = 28;
using ArpPacket = std::array<std::uint8_t, kArpPacketSize>;

// A request "who has `target`? tell `senderIp`", from `sender`. IPv4
// addresses in network byte order.
ArpPacket BuildArpRequest(const HardwareAddress& sender, std::uint32_t senderIp,
                          std::uint32_t target);

struct ArpReply {
    HardwareAddress senderHardware{};
    std::uint32_t senderIp = 0;  // network byte order: the address answered for
    std::uint32_t targetIp = 0;
};
// A reply for Ethernet and IPv4 whose sender is a unicast hardware address;
// nothing for anything else (a request, another protocol, a short packet).
std::optional<ArpReply> ParseArpReply(std::span<const std::uint8_t> packet);

// The socket filter for an AF_PACKET datagram socket of ETH_P_ARP: only
// Ethernet/IPv4 ARP replies reach user space; the kernel drops the rest.
std::span<const sock_filter> ArpReplyFilter();

// The solicited-node multicast group of `target` (ff02::1:ffXX:XXXX), where
// its owner listens for neighbour solicitations.
Ipv6Bytes SolicitedNodeGroup(const Ipv6Bytes& target);

// A neighbour solicitation for `target` with our hardware address as its
// source link-layer option. The checksum is left 0: the kernel fills it for
// a raw ICMPv6 socket.
std::vector<std::uint8_t> BuildNeighbourSolicitation(const Ipv6Bytes& target,
                                                     const HardwareAddress& sender);

struct NeighbourAdvertisement {
    Ipv6Bytes target{};
    HardwareAddress targetHardware{};
};
// A neighbour advertisement (ICMPv6 message, from its type on) that names
// its target's hardware address in a target link-layer option; nothing for
// anything else, for an option of length 0, or for options past the end.
std::optional<NeighbourAdvertisement> ParseNeighbourAdvertisement(
    std::span<const std::uint8_t> message);

}  // namespace varnock::linux_backend::packets
