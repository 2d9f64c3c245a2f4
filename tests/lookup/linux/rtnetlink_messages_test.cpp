#include "lookup/linux/rtnetlink_messages.h"

#include <gtest/gtest.h>
#include <libmnl/libmnl.h>
#include <linux/if_addr.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace varnock::rtnl {
namespace {

constexpr Ipv4Address kHost = 0x0202'00C0;     // 192.0.2.2
constexpr Ipv4Address kGateway = 0xFE02'00C0;  // 192.0.2.254

constexpr std::size_t Aligned(std::size_t length) {
    return (length + 3) & ~std::size_t{3};
}

// Lays out messages as the kernel would send them, one after the other.
class Datagram {
public:
    template <typename Fixed>
    Fixed& Add(std::uint16_t type, std::uint32_t sequence = 0, std::uint32_t portId = 0) {
        if (current_ != nullptr) {
            Trim();
        }
        const std::size_t offset = bytes_.size();
        bytes_.resize(offset + 1024);
        current_ = mnl_nlmsg_put_header(bytes_.data() + offset);
        current_->nlmsg_type = type;
        current_->nlmsg_seq = sequence;
        current_->nlmsg_pid = portId;
        return *static_cast<Fixed*>(mnl_nlmsg_put_extra_header(current_, sizeof(Fixed)));
    }
    void U32(std::uint16_t type, std::uint32_t value) { mnl_attr_put_u32(current_, type, value); }
    void Bytes(std::uint16_t type, std::vector<std::uint8_t> value) {
        mnl_attr_put(current_, type, value.size(), value.data());
    }
    void Text(std::uint16_t type, const char* value) { mnl_attr_put_strz(current_, type, value); }

    // The datagram up to the end of the last message.
    std::span<const std::byte> Bytes() {
        Trim();
        return {bytes_.data(), bytes_.size()};
    }
    const nlmsghdr& Message() {
        Trim();
        return *current_;
    }

private:
    void Trim() {
        const auto* end = reinterpret_cast<std::byte*>(current_) + Aligned(current_->nlmsg_len);
        bytes_.resize(static_cast<std::size_t>(end - bytes_.data()));
    }
    std::vector<std::byte> bytes_;
    nlmsghdr* current_ = nullptr;
};

TEST(ParseRoute, TellsOnLinkFromGatewayedRoutes) {
    Datagram onLink;
    onLink.Add<rtmsg>(RTM_NEWROUTE) = rtmsg{AF_INET, 32, 0, 0, RT_TABLE_MAIN, 0, 0, RTN_UNICAST, 0};
    onLink.U32(RTA_DST, kHost);
    onLink.U32(RTA_OIF, 7);
    const auto direct = ParseRoute(onLink.Message());
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->type, RTN_UNICAST);
    EXPECT_EQ(direct->outputInterface, 7u);
    EXPECT_FALSE(direct->throughGateway);

    Datagram gatewayed;
    gatewayed.Add<rtmsg>(RTM_NEWROUTE) =
        rtmsg{AF_INET, 32, 0, 0, RT_TABLE_MAIN, 0, 0, RTN_UNICAST, 0};
    gatewayed.U32(RTA_OIF, 7);
    gatewayed.U32(RTA_GATEWAY, kGateway);
    const auto viaGateway = ParseRoute(gatewayed.Message());
    ASSERT_TRUE(viaGateway);
    EXPECT_TRUE(viaGateway->throughGateway);
}

TEST(ParseRoute, RefusesOtherMessagesAndShortOnes) {
    Datagram link;
    link.Add<rtmsg>(RTM_NEWLINK).rtm_family = AF_INET;
    EXPECT_FALSE(ParseRoute(link.Message()));

    // Another family than the two this lookup asks about.
    Datagram bridge;
    bridge.Add<rtmsg>(RTM_NEWROUTE).rtm_family = AF_BRIDGE;
    EXPECT_FALSE(ParseRoute(bridge.Message()));

    // A header that claims to be a route but carries no rtmsg.
    nlmsghdr bare{sizeof(nlmsghdr), RTM_NEWROUTE, 0, 0, 0};
    EXPECT_FALSE(ParseRoute(bare));
}

TEST(ParseLink, ReadsIndexAndAddress) {
    Datagram datagram;
    auto& link = datagram.Add<ifinfomsg>(RTM_NEWLINK);
    link.ifi_index = 3;
    link.ifi_flags = IFF_UP | IFF_NOARP;
    datagram.Text(IFLA_IFNAME, "c0");
    datagram.Bytes(IFLA_ADDRESS, {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    const auto parsed = ParseLink(datagram.Message());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->index, 3u);
    EXPECT_EQ(parsed->hardwareAddress,
              (std::vector<std::uint8_t>{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
}

TEST(ParseNeighbourTable, ReadsLimitsAndFillOfEachFamilysTable) {
    Datagram table;
    table.Add<ndtmsg>(RTM_NEWNEIGHTBL).ndtm_family = AF_INET;
    table.U32(NDTA_THRESH2, 512);
    table.U32(NDTA_THRESH3, 1024);
    ndt_config config{};
    config.ndtc_entries = 73;
    config.ndtc_last_flush = 6000;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&config);
    table.Bytes(NDTA_CONFIG, {raw, raw + sizeof config});
    ndt_stats stats{};
    stats.ndts_allocs = 900;
    stats.ndts_forced_gc_runs = 3;
    stats.ndts_table_fulls = 2;
    const auto* counted = reinterpret_cast<const std::uint8_t*>(&stats);
    table.Bytes(NDTA_STATS, {counted, counted + sizeof stats});
    const auto parsed = ParseNeighbourTable(table.Message());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->family, IpAddress::Family::kV4);
    EXPECT_EQ(parsed->entries, 73u);
    EXPECT_EQ(parsed->softLimit, 512u);
    EXPECT_EQ(parsed->hardLimit, 1024u);
    ASSERT_TRUE(parsed->counters);
    EXPECT_EQ(parsed->counters->allocations, 900u);
    EXPECT_EQ(parsed->counters->forcedCollections, 3u);
    EXPECT_EQ(parsed->counters->refusedFull, 2u);
    EXPECT_EQ(parsed->counters->sinceForcedCollection, std::chrono::milliseconds(6000));

    // IPv6's table is a table of its own; a per-interface parameter message
    // carries no limits; a configuration too short to hold its counts is
    // refused.
    Datagram ipv6;
    ipv6.Add<ndtmsg>(RTM_NEWNEIGHTBL).ndtm_family = AF_INET6;
    ipv6.U32(NDTA_THRESH2, 512);
    ipv6.U32(NDTA_THRESH3, 1024);
    ipv6.Bytes(NDTA_CONFIG, {raw, raw + sizeof config});
    const auto nd = ParseNeighbourTable(ipv6.Message());
    ASSERT_TRUE(nd);
    EXPECT_EQ(nd->family, IpAddress::Family::kV6);
    EXPECT_FALSE(nd->counters);  // none sent, none made up
    Datagram parameters;
    parameters.Add<ndtmsg>(RTM_NEWNEIGHTBL).ndtm_family = AF_INET;
    parameters.Text(NDTA_NAME, "arp_cache");
    EXPECT_FALSE(ParseNeighbourTable(parameters.Message()));
    Datagram shortConfig;
    shortConfig.Add<ndtmsg>(RTM_NEWNEIGHTBL).ndtm_family = AF_INET;
    shortConfig.U32(NDTA_THRESH2, 512);
    shortConfig.U32(NDTA_THRESH3, 1024);
    shortConfig.Bytes(NDTA_CONFIG, {1, 2, 3, 4});
    EXPECT_FALSE(ParseNeighbourTable(shortConfig.Message()));
}

TEST(ParseNeighbour, ReadsEntryAndTreatsDeletionAsNoAnswer) {
    Datagram added;
    auto& entry = added.Add<ndmsg>(RTM_NEWNEIGH);
    entry.ndm_family = AF_INET;
    entry.ndm_ifindex = 3;
    entry.ndm_state = NUD_REACHABLE;
    added.U32(NDA_DST, kHost);
    added.Bytes(NDA_LLADDR, {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    const auto parsed = ParseNeighbour(added.Message());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->destination, IpAddress::V4(kHost));
    EXPECT_EQ(parsed->interfaceIndex, 3u);
    EXPECT_EQ(parsed->state, NUD_REACHABLE);
    EXPECT_EQ(parsed->hardwareAddress.size(), 6u);

    Datagram deleted;
    auto& gone = deleted.Add<ndmsg>(RTM_DELNEIGH);
    gone = entry;
    deleted.U32(NDA_DST, kHost);
    const auto removed = ParseNeighbour(deleted.Message());
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->state, NUD_NONE);
}

TEST(ParseNeighbour, DestinationOfTheWrongSizeForItsFamilyIsRefused) {
    for (const auto& [family, size] : {std::pair{AF_INET, 3}, {AF_INET, 16}, {AF_INET6, 4}}) {
        Datagram datagram;
        auto& entry = datagram.Add<ndmsg>(RTM_NEWNEIGH);
        entry.ndm_family = static_cast<std::uint8_t>(family);
        entry.ndm_ifindex = 3;
        datagram.Bytes(NDA_DST, std::vector<std::uint8_t>(static_cast<std::size_t>(size), 1));
        EXPECT_FALSE(ParseNeighbour(datagram.Message())) << family << " " << size;
    }
    Datagram ipv6;
    auto& entry = ipv6.Add<ndmsg>(RTM_NEWNEIGH);
    entry.ndm_family = AF_INET6;
    entry.ndm_ifindex = 3;
    ipv6.Bytes(NDA_DST, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
    const auto parsed = ParseNeighbour(ipv6.Message());
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->destination.IsV6());
    EXPECT_EQ(parsed->destination.bytes[15], 2);
}

TEST(ParseInterfaceAddress, PrefersTheLocalAddressOnPointToPointLinks) {
    Datagram datagram;
    auto& address = datagram.Add<ifaddrmsg>(RTM_NEWADDR);
    address.ifa_family = AF_INET;
    address.ifa_index = 4;
    datagram.U32(IFA_ADDRESS, kGateway);
    datagram.U32(IFA_LOCAL, kHost);
    const auto parsed = ParseInterfaceAddress(datagram.Message());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->interfaceIndex, 4u);
    EXPECT_EQ(parsed->local, IpAddress::V4(kHost));
}

TEST(Builders, RouteQueryAsksForOneIpv4Destination) {
    RequestBuffer buffer;
    const nlmsghdr* query = BuildRouteQuery(buffer, IpAddress::V4(kHost), 0);
    EXPECT_EQ(query->nlmsg_type, RTM_GETROUTE);
    EXPECT_EQ(query->nlmsg_flags, NLM_F_REQUEST);
    const auto* route = static_cast<const rtmsg*>(mnl_nlmsg_get_payload(query));
    EXPECT_EQ(route->rtm_family, AF_INET);
    EXPECT_EQ(route->rtm_dst_len, 32);
    EXPECT_EQ(route->rtm_src_len, 0);
    // One attribute: the destination. A source appears only when given.
    const auto* attribute =
        static_cast<const nlattr*>(mnl_nlmsg_get_payload_offset(query, sizeof(rtmsg)));
    EXPECT_EQ(mnl_attr_get_type(attribute), RTA_DST);
    EXPECT_EQ(mnl_attr_get_u32(attribute), kHost);
    EXPECT_EQ(query->nlmsg_len, sizeof(nlmsghdr) + Aligned(sizeof(rtmsg)) + sizeof(nlattr) + 4);

    const std::size_t withoutSource = query->nlmsg_len;
    RequestBuffer other;
    EXPECT_EQ(BuildRouteQuery(other, IpAddress::V4(kHost), kGateway)->nlmsg_len,
              withoutSource + sizeof(nlattr) + 4);
    // An IPv6 destination: 128 bits, 16 bytes, and never an IPv4 source.
    const IpAddress v6 =
        IpAddress::V6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
    const nlmsghdr* six = BuildRouteQuery(other, v6, kGateway);
    const auto* route6 = static_cast<const rtmsg*>(mnl_nlmsg_get_payload(six));
    EXPECT_EQ(route6->rtm_family, AF_INET6);
    EXPECT_EQ(route6->rtm_dst_len, 128);
    EXPECT_EQ(six->nlmsg_len, sizeof(nlmsghdr) + Aligned(sizeof(rtmsg)) + sizeof(nlattr) + 16);
}

TEST(Builders, NeighbourQueryNamesDestinationAndInterface) {
    RequestBuffer buffer;
    const nlmsghdr* query = BuildNeighbourQuery(buffer, IpAddress::V4(kHost), 9);
    EXPECT_EQ(query->nlmsg_type, RTM_GETNEIGH);
    const auto* entry = static_cast<const ndmsg*>(mnl_nlmsg_get_payload(query));
    EXPECT_EQ(entry->ndm_family, AF_INET);
    EXPECT_EQ(entry->ndm_ifindex, 9);

    const nlmsghdr* dump = BuildAddressDump(buffer, IpAddress::Family::kV4);
    EXPECT_EQ(dump->nlmsg_type, RTM_GETADDR);
    EXPECT_EQ(dump->nlmsg_flags & NLM_F_DUMP, NLM_F_DUMP);
}

TEST(ForEachMessage, ReportsTheKernelsErrorNumber) {
    Datagram datagram;
    auto& error = datagram.Add<nlmsgerr>(NLMSG_ERROR, 5, 77);
    error.error = -ENOENT;
    int seen = 0;
    const auto status = ForEachMessage(datagram.Bytes(), 5, 77, [&](const nlmsghdr&) { ++seen; });
    EXPECT_EQ(status.result, -1);
    EXPECT_EQ(status.error, ENOENT);
    EXPECT_EQ(seen, 0);
}

TEST(ForEachMessage, HandsOverEveryMessageUntilDone) {
    Datagram datagram;
    datagram.Add<ifaddrmsg>(RTM_NEWADDR, 5, 77).ifa_family = AF_INET;
    datagram.Add<ifaddrmsg>(RTM_NEWADDR, 5, 77).ifa_family = AF_INET;
    int seen = 0;
    EXPECT_EQ(ForEachMessage(datagram.Bytes(), 5, 77, [&](const nlmsghdr&) { ++seen; }).result, 1);
    EXPECT_EQ(seen, 2);

    datagram.Add<int>(NLMSG_DONE, 5, 77);
    seen = 0;
    EXPECT_EQ(ForEachMessage(datagram.Bytes(), 5, 77, [&](const nlmsghdr&) { ++seen; }).result, 0);
    EXPECT_EQ(seen, 2);
}

TEST(ForEachMessage, RefusesRepliesToSomeoneElse) {
    Datagram datagram;
    datagram.Add<ifaddrmsg>(RTM_NEWADDR, 6, 77);
    int seen = 0;
    EXPECT_EQ(ForEachMessage(datagram.Bytes(), 5, 77, [&](const nlmsghdr&) { ++seen; }).result, -1);
    EXPECT_EQ(seen, 0);
}

TEST(ForEachMessage, StopsAtATruncatedMessage) {
    Datagram datagram;
    auto& entry = datagram.Add<ndmsg>(RTM_NEWNEIGH);
    entry.ndm_family = AF_INET;
    datagram.U32(NDA_DST, kHost);
    const auto whole = datagram.Bytes();
    int seen = 0;
    // The header promises more bytes than arrived: nothing is handed over.
    ForEachMessage(whole.first(whole.size() - 4), 0, 0, [&](const nlmsghdr&) { ++seen; });
    EXPECT_EQ(seen, 0);
}

TEST(ForEachMessage, RefusesLengthsThatOnlyASignedComparisonWouldAccept) {
    // Two messages, the second claiming almost 4 GiB: the first is read,
    // the second refused rather than followed past the datagram.
    Datagram datagram;
    datagram.Add<ifaddrmsg>(RTM_NEWADDR).ifa_family = AF_INET;
    datagram.Add<ifaddrmsg>(RTM_NEWADDR).ifa_family = AF_INET;
    std::vector<std::byte> bytes(datagram.Bytes().begin(), datagram.Bytes().end());
    const std::uint32_t huge = 0xFFFF'FFF0;
    std::memcpy(bytes.data() + bytes.size() / 2, &huge, sizeof huge);
    int seen = 0;
    ForEachMessage(bytes, 0, 0, [&](const nlmsghdr&) { ++seen; });
    EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace varnock::rtnl
