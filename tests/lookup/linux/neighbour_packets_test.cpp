#include "lookup/linux/neighbour_packets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace varnock::linux_backend::packets {
namespace {

constexpr HardwareAddress kOurs{0x02, 0x00, 0x00, 0xC0, 0x02, 0x01};
constexpr HardwareAddress kTheirs{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr std::uint32_t kClient = 0x0102'00C0;  // 192.0.2.1, network byte order
constexpr std::uint32_t kHost = 0x0202'00C0;    // 192.0.2.2
constexpr Ipv6Bytes kHost6{0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xAB, 0xCD, 0xEF, 0x02};

// The reply `kTheirs` sends to our request for kHost, built independently
// of the code under test: the wire layout of RFC 826.
std::vector<std::uint8_t> WireReply(std::uint8_t operation = 2) {
    std::vector<std::uint8_t> bytes = {0, 1, 0x08, 0, 6, 4, 0, operation};
    bytes.insert(bytes.end(), kTheirs.begin(), kTheirs.end());
    bytes.insert(bytes.end(), {192, 0, 2, 2});
    bytes.insert(bytes.end(), kOurs.begin(), kOurs.end());
    bytes.insert(bytes.end(), {192, 0, 2, 1});
    return bytes;
}

TEST(ArpPacket, RequestHasTheWireLayout) {
    const ArpPacket request = BuildArpRequest(kOurs, kClient, kHost);
    const std::vector<std::uint8_t> expected = {
        0,    1,    0x08, 0,    6,    4,    0,   1,        // Ethernet, IPv4, lengths, request
        0x02, 0x00, 0x00, 0xC0, 0x02, 0x01, 192, 0, 2, 1,  // sender
        0,    0,    0,    0,    0,    0,    192, 0, 2, 2,  // target
    };
    EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.end()), expected);
}

TEST(ArpPacket, ReplyReadsSenderAndTarget) {
    auto padded = WireReply();
    padded.resize(46, 0);  // Ethernet's padding to its minimum frame
    const auto reply = ParseArpReply(padded);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->senderHardware, kTheirs);
    EXPECT_EQ(reply->senderIp, kHost);
    EXPECT_EQ(reply->targetIp, kClient);
}

TEST(ArpPacket, RefusesWhatIsNoReply) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"a request", WireReply(1)},
        {"one byte short",
         [] {
             auto b = WireReply();
             b.pop_back();
             return b;
         }()},
        {"not Ethernet",
         [] {
             auto b = WireReply();
             b[1] = 6;
             return b;
         }()},
        {"not IPv4",
         [] {
             auto b = WireReply();
             b[2] = 0x86;
             b[3] = 0xDD;
             return b;
         }()},
        {"other address lengths",
         [] {
             auto b = WireReply();
             b[5] = 16;
             return b;
         }()},
        {"a group sender",
         [] {
             auto b = WireReply();
             b[8] = 0x01;
             return b;
         }()},
        {"a zero sender",
         [] {
             auto b = WireReply();
             std::fill_n(b.begin() + 8, 6, 0);
             return b;
         }()},
        {"nothing", {}},
    };
    for (const auto& [what, bytes] : cases) {
        EXPECT_FALSE(ParseArpReply(bytes)) << what;
    }
}

TEST(NeighbourDiscovery, SolicitedNodeGroupTakesTheLast24Bits) {
    const Ipv6Bytes expected{0xFF, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xFF, 0xCD, 0xEF, 0x02};
    EXPECT_EQ(SolicitedNodeGroup(kHost6), expected);
}

TEST(NeighbourDiscovery, SolicitationNamesTargetAndOurAddress) {
    const auto message = BuildNeighbourSolicitation(kHost6, kOurs);
    ASSERT_EQ(message.size(), 32U);
    EXPECT_EQ(message[0], 135);
    EXPECT_EQ(message[1], 0);
    EXPECT_TRUE(std::equal(kHost6.begin(), kHost6.end(), message.begin() + 8));
    EXPECT_EQ(message[24], 1);  // source link-layer address, 8 bytes
    EXPECT_EQ(message[25], 1);
    EXPECT_TRUE(std::equal(kOurs.begin(), kOurs.end(), message.begin() + 26));
}

// An advertisement for kHost6 with `options` after the fixed part.
std::vector<std::uint8_t> Advertisement(const std::vector<std::uint8_t>& options) {
    std::vector<std::uint8_t> bytes = {136, 0, 0, 0, 0x60, 0, 0, 0};
    bytes.insert(bytes.end(), kHost6.begin(), kHost6.end());
    bytes.insert(bytes.end(), options.begin(), options.end());
    return bytes;
}

std::vector<std::uint8_t> TargetOption() {
    std::vector<std::uint8_t> option = {2, 1};
    option.insert(option.end(), kTheirs.begin(), kTheirs.end());
    return option;
}

TEST(NeighbourDiscovery, AdvertisementFindsTargetOptionAmongOthers) {
    auto options = std::vector<std::uint8_t>{14, 1, 0, 0, 0, 0, 0, 0};  // a nonce, skipped
    const auto target = TargetOption();
    options.insert(options.end(), target.begin(), target.end());
    const auto advertisement = ParseNeighbourAdvertisement(Advertisement(options));
    ASSERT_TRUE(advertisement);
    EXPECT_EQ(advertisement->target, kHost6);
    EXPECT_EQ(advertisement->targetHardware, kTheirs);
}

TEST(NeighbourDiscovery, RefusesMalformedAdvertisements) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    auto solicitation = Advertisement(TargetOption());
    solicitation[0] = 135;
    auto cut = Advertisement({});
    cut.resize(20);
    const std::vector<Case> cases = {
        {"no target option", Advertisement({})},
        {"an option of length 0", Advertisement({2, 0, 0, 0, 0, 0, 0, 0})},
        {"an option past the end", Advertisement({2, 2, 1, 2, 3, 4, 5, 6})},
        {"half an option header", Advertisement({2})},
        {"a solicitation", solicitation},
        {"cut in the target", cut},
    };
    for (const auto& [what, bytes] : cases) {
        EXPECT_FALSE(ParseNeighbourAdvertisement(bytes)) << what;
    }
}

}  // namespace
}  // namespace varnock::linux_backend::packets
