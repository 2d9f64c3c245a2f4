#include "lookup/linux/rtnetlink_messages.h"

#include <libmnl/libmnl.h>
#include <linux/if_addr.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace varnock::rtnl {
namespace {

template <typename ExtraHeader>
std::pair<nlmsghdr*, ExtraHeader*> StartRequest(RequestBuffer& buffer, std::uint16_t type,
                                                std::uint16_t flags) {
    buffer.fill(std::byte{0});
    nlmsghdr* header = mnl_nlmsg_put_header(buffer.data());
    header->nlmsg_type = type;
    header->nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | flags);
    auto* extra =
        static_cast<ExtraHeader*>(mnl_nlmsg_put_extra_header(header, sizeof(ExtraHeader)));
    return {header, extra};
}

// The message's fixed header, or nothing when the payload is too short to
// hold it: the kernel never sends such a thing, but we do not read past a
// buffer on its word.
template <typename ExtraHeader>
const ExtraHeader* FixedHeader(const nlmsghdr& message) {
    if (mnl_nlmsg_get_payload_len(&message) < sizeof(ExtraHeader)) {
        return nullptr;
    }
    return static_cast<const ExtraHeader*>(mnl_nlmsg_get_payload(&message));
}

// Collects the attributes of one message into a table indexed by type,
// skipping types we do not know. Each kept attribute's length is checked by
// its user before its value is read.
template <std::size_t TableSize>
using AttributeTable = std::array<const nlattr*, TableSize>;

template <std::size_t TableSize>
AttributeTable<TableSize> CollectAttributes(const nlmsghdr& message, std::size_t fixedHeaderSize) {
    AttributeTable<TableSize> table{};
    mnl_attr_parse(
        &message, static_cast<unsigned int>(fixedHeaderSize),
        [](const nlattr* attribute, void* data) -> int {
            const auto type = mnl_attr_get_type(attribute);
            if (type < TableSize) {
                (*static_cast<AttributeTable<TableSize>*>(data))[type] = attribute;
            }
            return MNL_CB_OK;
        },
        &table);
    return table;
}

std::optional<std::uint32_t> ReadU32(const nlattr* attribute) {
    if (attribute == nullptr || mnl_attr_get_payload_len(attribute) != sizeof(std::uint32_t)) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, mnl_attr_get_payload(attribute), sizeof value);
    return value;
}

// An address attribute of `family`'s size, or nothing.
std::optional<IpAddress> ReadAddress(const nlattr* attribute, int family) {
    IpAddress address;
    address.family = family == AF_INET6 ? IpAddress::Family::kV6 : IpAddress::Family::kV4;
    if (attribute == nullptr || (family != AF_INET && family != AF_INET6) ||
        mnl_attr_get_payload_len(attribute) != address.Size()) {
        return std::nullopt;
    }
    std::memcpy(address.bytes.data(), mnl_attr_get_payload(attribute), address.Size());
    return address;
}

std::uint8_t FamilyOf(const IpAddress& address) {
    return address.IsV6() ? AF_INET6 : AF_INET;
}

std::vector<std::uint8_t> ReadBytes(const nlattr* attribute) {
    if (attribute == nullptr) {
        return {};
    }
    const std::size_t length = mnl_attr_get_payload_len(attribute);
    const auto* first = static_cast<const std::uint8_t*>(mnl_attr_get_payload(attribute));
    return {first, first + length};
}

// How many bytes at the start of `datagram` are whole messages, each with a
// length that covers its header and, padded as the kernel always pads it,
// stays within the datagram (libmnl reads attributes up to the padded end).
// `flags` gathers the nlmsg_flags of those messages.
std::size_t WellFormedPrefix(std::span<const std::byte> datagram, std::uint16_t& flags) {
    std::size_t offset = 0;
    while (datagram.size() - offset >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, datagram.data() + offset, sizeof header);
        const std::size_t padded = (std::size_t{header.nlmsg_len} + 3) & ~std::size_t{3};
        if (header.nlmsg_len < sizeof(nlmsghdr) || padded > datagram.size() - offset) {
            break;
        }
        flags = static_cast<std::uint16_t>(flags | header.nlmsg_flags);
        offset += padded;
    }
    return offset;
}

}  // namespace

nlmsghdr* BuildRouteQuery(RequestBuffer& buffer, const IpAddress& destination, Ipv4Address source,
                          std::uint32_t boundInterface, std::uint32_t mark) {
    auto [header, route] = StartRequest<rtmsg>(buffer, RTM_GETROUTE, 0);
    route->rtm_family = FamilyOf(destination);
    route->rtm_dst_len = static_cast<std::uint8_t>(destination.Size() * 8);
    mnl_attr_put(header, RTA_DST, destination.Size(), destination.bytes.data());
    if (source != 0 && !destination.IsV6()) {
        route->rtm_src_len = 32;
        mnl_attr_put_u32(header, RTA_SRC, source);
    }
    if (boundInterface != 0) {
        mnl_attr_put_u32(header, RTA_OIF, boundInterface);
    }
    if (mark != 0) {
        mnl_attr_put_u32(header, RTA_MARK, mark);
    }
    return header;
}

nlmsghdr* BuildLinkQuery(RequestBuffer& buffer, std::uint32_t index) {
    auto [header, link] = StartRequest<ifinfomsg>(buffer, RTM_GETLINK, 0);
    link->ifi_family = AF_UNSPEC;
    link->ifi_index = static_cast<int>(index);
    // The counters make up most of a link message and we read none of them.
    mnl_attr_put_u32(header, IFLA_EXT_MASK, RTEXT_FILTER_SKIP_STATS);
    return header;
}

nlmsghdr* BuildNeighbourQuery(RequestBuffer& buffer, const IpAddress& destination,
                              std::uint32_t interfaceIndex) {
    auto [header, neighbour] = StartRequest<ndmsg>(buffer, RTM_GETNEIGH, 0);
    neighbour->ndm_family = FamilyOf(destination);
    neighbour->ndm_ifindex = static_cast<int>(interfaceIndex);
    mnl_attr_put(header, NDA_DST, destination.Size(), destination.bytes.data());
    return header;
}

nlmsghdr* BuildAddressDump(RequestBuffer& buffer, IpAddress::Family family) {
    auto [header, address] = StartRequest<ifaddrmsg>(buffer, RTM_GETADDR, NLM_F_DUMP);
    address->ifa_family = family == IpAddress::Family::kV6 ? AF_INET6 : AF_INET;
    return header;
}

nlmsghdr* BuildNeighbourDump(RequestBuffer& buffer) {
    auto [header, neighbour] = StartRequest<ndmsg>(buffer, RTM_GETNEIGH, NLM_F_DUMP);
    neighbour->ndm_family = AF_UNSPEC;
    return header;
}

std::optional<Route> ParseRoute(const nlmsghdr& message) {
    const auto* route = FixedHeader<rtmsg>(message);
    if (message.nlmsg_type != RTM_NEWROUTE || route == nullptr ||
        (route->rtm_family != AF_INET && route->rtm_family != AF_INET6)) {
        return std::nullopt;
    }
    const auto attributes = CollectAttributes<RTA_MAX + 1>(message, sizeof(rtmsg));
    Route result;
    result.type = route->rtm_type;
    result.outputInterface = ReadU32(attributes[RTA_OIF]).value_or(0);
    // RTA_VIA is how a route names a gateway of another address family.
    result.throughGateway = attributes[RTA_GATEWAY] != nullptr || attributes[RTA_VIA] != nullptr;
    return result;
}

std::optional<Link> ParseLink(const nlmsghdr& message) {
    const auto* link = FixedHeader<ifinfomsg>(message);
    if (message.nlmsg_type != RTM_NEWLINK || link == nullptr || link->ifi_index <= 0) {
        return std::nullopt;
    }
    const auto attributes = CollectAttributes<IFLA_MAX + 1>(message, sizeof(ifinfomsg));
    Link result;
    result.index = static_cast<std::uint32_t>(link->ifi_index);
    result.hardwareAddress = ReadBytes(attributes[IFLA_ADDRESS]);
    return result;
}

std::optional<std::uint32_t> ParseLinkChange(const nlmsghdr& message) {
    const auto* link = FixedHeader<ifinfomsg>(message);
    if ((message.nlmsg_type != RTM_NEWLINK && message.nlmsg_type != RTM_DELLINK) ||
        link == nullptr || link->ifi_index <= 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(link->ifi_index);
}

std::optional<Neighbour> ParseNeighbour(const nlmsghdr& message) {
    const auto* neighbour = FixedHeader<ndmsg>(message);
    if ((message.nlmsg_type != RTM_NEWNEIGH && message.nlmsg_type != RTM_DELNEIGH) ||
        neighbour == nullptr || neighbour->ndm_ifindex <= 0) {
        return std::nullopt;
    }
    const auto attributes = CollectAttributes<NDA_MAX + 1>(message, sizeof(ndmsg));
    const auto destination = ReadAddress(attributes[NDA_DST], neighbour->ndm_family);
    if (!destination) {
        return std::nullopt;
    }
    Neighbour result;
    result.interfaceIndex = static_cast<std::uint32_t>(neighbour->ndm_ifindex);
    result.destination = *destination;
    // A deleted entry holds no answer, whatever state it was in.
    result.state =
        message.nlmsg_type == RTM_DELNEIGH ? std::uint16_t{NUD_NONE} : neighbour->ndm_state;
    result.hardwareAddress = ReadBytes(attributes[NDA_LLADDR]);
    if (const nlattr* cache = attributes[NDA_CACHEINFO];
        cache != nullptr && mnl_attr_get_payload_len(cache) >= sizeof(nda_cacheinfo)) {
        nda_cacheinfo info;
        std::memcpy(&info, mnl_attr_get_payload(cache), sizeof info);
        result.ticksSinceConfirmed = info.ndm_confirmed;
    }
    return result;
}

nlmsghdr* BuildNeighbourTableDump(RequestBuffer& buffer) {
    auto [header, table] = StartRequest<ndtmsg>(buffer, RTM_GETNEIGHTBL, NLM_F_DUMP);
    table->ndtm_family = AF_UNSPEC;  // every family's table
    return header;
}

std::optional<NeighbourTable> ParseNeighbourTable(const nlmsghdr& message) {
    const auto* table = FixedHeader<ndtmsg>(message);
    if (message.nlmsg_type != RTM_NEWNEIGHTBL || table == nullptr ||
        (table->ndtm_family != AF_INET && table->ndtm_family != AF_INET6)) {
        return std::nullopt;
    }
    const auto attributes = CollectAttributes<NDTA_MAX + 1>(message, sizeof(ndtmsg));
    const auto softLimit = ReadU32(attributes[NDTA_THRESH2]);
    const auto hardLimit = ReadU32(attributes[NDTA_THRESH3]);
    const nlattr* config = attributes[NDTA_CONFIG];
    if (!softLimit || !hardLimit || config == nullptr ||
        mnl_attr_get_payload_len(config) < sizeof(ndt_config)) {
        return std::nullopt;
    }
    ndt_config filled;
    std::memcpy(&filled, mnl_attr_get_payload(config), sizeof filled);
    NeighbourTable parsed{
        table->ndtm_family == AF_INET6 ? IpAddress::Family::kV6 : IpAddress::Family::kV4,
        filled.ndtc_entries, *softLimit, *hardLimit, std::nullopt};
    if (const nlattr* stats = attributes[NDTA_STATS];
        stats != nullptr && mnl_attr_get_payload_len(stats) >= sizeof(ndt_stats)) {
        ndt_stats counted;
        std::memcpy(&counted, mnl_attr_get_payload(stats), sizeof counted);
        parsed.counters = NeighbourTable::Counters{
            counted.ndts_allocs, counted.ndts_forced_gc_runs, counted.ndts_table_fulls,
            std::chrono::milliseconds(filled.ndtc_last_flush)};
    }
    return parsed;
}

std::optional<InterfaceAddress> ParseInterfaceAddress(const nlmsghdr& message) {
    const auto* address = FixedHeader<ifaddrmsg>(message);
    if (message.nlmsg_type != RTM_NEWADDR || address == nullptr) {
        return std::nullopt;
    }
    const auto attributes = CollectAttributes<IFA_MAX + 1>(message, sizeof(ifaddrmsg));
    // On a point-to-point link IFA_ADDRESS is the peer; IFA_LOCAL is ours.
    auto local = ReadAddress(attributes[IFA_LOCAL], address->ifa_family);
    if (!local) {
        local = ReadAddress(attributes[IFA_ADDRESS], address->ifa_family);
    }
    if (!local) {
        return std::nullopt;
    }
    return InterfaceAddress{address->ifa_index, *local, address->ifa_prefixlen};
}

ReplyStatus ForEachMessage(std::span<const std::byte> datagram, std::uint32_t sequence,
                           std::uint32_t portId,
                           const std::function<void(const nlmsghdr&)>& onMessage) {
    // libmnl compares a message's length with the bytes left as signed
    // integers, so a length of 2 GiB or more passes its check and sends it
    // reading far past the datagram. Only the well-formed messages at the
    // start go to it.
    std::uint16_t flags = 0;
    const std::size_t wellFormed = WellFormedPrefix(datagram, flags);
    if (wellFormed == 0) {
        return {-1, EBADMSG};
    }
    const bool interrupted = (flags & NLM_F_DUMP_INTR) != 0;
    auto forward = [](const nlmsghdr* message, void* data) -> int {
        (*static_cast<const std::function<void(const nlmsghdr&)>*>(data))(*message);
        return MNL_CB_OK;
    };
    errno = 0;
    const int result = mnl_cb_run(datagram.data(), wellFormed, sequence, portId, forward,
                                  const_cast<std::function<void(const nlmsghdr&)>*>(&onMessage));
    return {result < 0 ? -1 : result, result < 0 ? errno : 0, interrupted};
}

}  // namespace varnock::rtnl
