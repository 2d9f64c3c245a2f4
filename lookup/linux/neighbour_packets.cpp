#include "lookup/linux/neighbour_packets.h"

#include <linux/if_arp.h>
#include <linux/if_ether.h>

#include <algorithm>
#include <cstring>

namespace varnock::linux_backend::packets {
namespace {

constexpr std::uint16_t kArpRequest = 1;
constexpr std::uint16_t kArpReply = 2;

// ICMPv6 types and the neighbour discovery option types (RFC 4861).
constexpr std::uint8_t kNeighbourSolicitation = 135;
constexpr std::uint8_t kNeighbourAdvertisement = 136;
constexpr std::uint8_t kSourceLinkLayerOption = 1;
constexpr std::uint8_t kTargetLinkLayerOption = 2;
// Type, code, checksum, flags or reserved word, target.
constexpr std::size_t kNeighbourMessageSize = 4 + 4 + 16;

void Put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t Get16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

}  // namespace

ArpPacket BuildArpRequest(const HardwareAddress& sender, std::uint32_t senderIp,
                          std::uint32_t target) {
    ArpPacket packet{};
    Put16(&packet[0], ARPHRD_ETHER);
    Put16(&packet[2], ETH_P_IP);
    packet[4] = 6;
    packet[5] = 4;
    Put16(&packet[6], kArpRequest);
    std::copy(sender.begin(), sender.end(), &packet[8]);
    std::memcpy(&packet[14], &senderIp, 4);
    // Target hardware address: unknown, all zeros.
    std::memcpy(&packet[24], &target, 4);
    return packet;
}

std::optional<ArpReply> ParseArpReply(std::span<const std::uint8_t> packet) {
    // Longer is fine: a short frame is padded to Ethernet's minimum.
    if (packet.size() < kArpPacketSize) {
        return std::nullopt;
    }
    const std::uint8_t* p = packet.data();
    if (Get16(p) != ARPHRD_ETHER || Get16(p + 2) != ETH_P_IP || p[4] != 6 || p[5] != 4 ||
        Get16(p + 6) != kArpReply) {
        return std::nullopt;
    }
    ArpReply reply;
    std::copy(p + 8, p + 14, reply.senderHardware.begin());
    // A group address or all zeros is no machine's hardware address.
    if ((reply.senderHardware[0] & 1) != 0 ||
        std::all_of(reply.senderHardware.begin(), reply.senderHardware.end(),
                    [](std::uint8_t byte) { return byte == 0; })) {
        return std::nullopt;
    }
    std::memcpy(&reply.senderIp, p + 14, 4);
    std::memcpy(&reply.targetIp, p + 24, 4);
    return reply;
}

std::span<const sock_filter> ArpReplyFilter() {
    // Offsets into the ARP packet (the socket strips the link-layer header).
    // Hardware type, protocol type, both lengths at once, and the operation;
    // anything else is cut to nothing.
    static constexpr sock_filter kProgram[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPHRD_ETHER, 0, 7),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 2),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETH_P_IP, 0, 5),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x0604, 0, 3),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArpReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    return kProgram;
}

Ipv6Bytes SolicitedNodeGroup(const Ipv6Bytes& target) {
    Ipv6Bytes group{0xFF, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xFF};
    std::copy(target.end() - 3, target.end(), group.end() - 3);
    return group;
}

std::vector<std::uint8_t> BuildNeighbourSolicitation(const Ipv6Bytes& target,
                                                     const HardwareAddress& sender) {
    std::vector<std::uint8_t> message(kNeighbourMessageSize + 8, 0);
    message[0] = kNeighbourSolicitation;
    std::copy(target.begin(), target.end(), message.begin() + 8);
    // Source link-layer option, in units of 8 bytes: the host can answer
    // without asking for our address first.
    message[kNeighbourMessageSize] = kSourceLinkLayerOption;
    message[kNeighbourMessageSize + 1] = 1;
    std::copy(sender.begin(), sender.end(), message.begin() + kNeighbourMessageSize + 2);
    return message;
}

std::optional<NeighbourAdvertisement> ParseNeighbourAdvertisement(
    std::span<const std::uint8_t> message) {
    if (message.size() < kNeighbourMessageSize || message[0] != kNeighbourAdvertisement ||
        message[1] != 0) {
        return std::nullopt;
    }
    NeighbourAdvertisement advertisement;
    std::copy(message.begin() + 8, message.begin() + 24, advertisement.target.begin());
    std::optional<HardwareAddress> found;
    auto options = message.subspan(kNeighbourMessageSize);
    while (!options.empty()) {
        if (options.size() < 2) {
            return std::nullopt;
        }
        const std::size_t length = std::size_t{options[1]} * 8;
        // A length of 0 is invalid (RFC 4861 4.6): the message is dropped.
        if (length == 0 || length > options.size()) {
            return std::nullopt;
        }
        if (options[0] == kTargetLinkLayerOption && length >= 8) {
            HardwareAddress address;
            std::copy(options.begin() + 2, options.begin() + 8, address.begin());
            found = address;
        }
        options = options.subspan(length);
    }
    if (!found) {
        return std::nullopt;
    }
    advertisement.targetHardware = *found;
    return advertisement;
}

}  // namespace varnock::linux_backend::packets
