// The Windows side of lookup/neighbour_engine.h: IPv4 through SendARP, as
// the window asks, and IPv6 through IP Helper's ResolveIpNetEntry2 where the
// system has it. Both block, so the engine runs them on a few threads. The
// table as it stands comes from GetIpNetTable2, the adapters from
// GetAdaptersAddresses.

// winsock2.h must come before windows.h, and iphlpapi.h needs both.
// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstring>
#include <system_error>

#include "lookup/neighbour_resolver.h"
#include "lookup/threaded_neighbour_engine.h"
#include "lookup/windows/adapters.h"
#include "lookup/windows/ip_helper.h"
#include "lookup/windows/neighbour_table.h"

namespace varnock {
namespace {

using windows_backend::Adapter;
using windows_backend::IpNetRow2;
using windows_backend::ResolveIpNetEntry2Function;

constexpr ULONG kMaxPhysicalAddress = 32;
// SendARP waits out Windows' own time-out (about 3 s) for an absent host:
// enough threads that a /24 takes a few of those, few enough to stay light.
constexpr std::size_t kMostThreads = 64;

ResolveIpNetEntry2Function FindResolveIpNetEntry2() {
    return windows_backend::FindIpHelperFunction<ResolveIpNetEntry2Function>("ResolveIpNetEntry2");
}

class WindowsNeighbourResolver final : public NeighbourResolver {
public:
    explicit WindowsNeighbourResolver(ResolverMode mode) : mode_(mode) {}

    NeighbourAnswer Resolve(const NeighbourQuery& query) override {
        NeighbourAnswer answer;
        const IpAddress& address = query.address;
        if (address.IsUnspecified()) {
            answer.status = arp_status::kInvalidParameter;
        } else if (address.IsMulticast()) {
            answer.status = arp_status::kNotUnicast;
        } else if (address.IsLinkLocal() && address.scope == 0 && query.interfaceIndex == 0) {
            answer.status = arp_status::kNeedsInterface;
        } else if (mode_ == ResolverMode::kCached) {
            FromTable(query, answer);
        } else if (!address.IsV6()) {
            ResolveIpv4(query, answer);
        } else {
            ResolveIpv6(address, query.interfaceIndex, answer);
        }
        return answer;
    }

private:
    // The table's row for the address (on the chosen interface, or a
    // link-local address's own), sending nothing.
    static void FromTable(const NeighbourQuery& query, NeighbourAnswer& answer) {
        const auto rows = windows_backend::ReadNeighbourTable();
        if (!rows) {  // the engine was made knowing that the table can be read
            answer.status = arp_status::kNotSupported;
            return;
        }
        const std::uint32_t chosen =
            query.interfaceIndex != 0 ? query.interfaceIndex : query.address.scope;
        answer.status = arp_status::kNotCached;
        answer.interfaceIndex = chosen;
        for (const auto& row : *rows) {
            const NeighbourEntry& entry = row.entry;
            if (entry.address.SameAddress(query.address) &&
                (chosen == 0 || entry.interfaceIndex == chosen) &&
                entry.state == NeighbourEntry::State::kAnswering) {
                answer.status = arp_status::kOk;
                answer.hardwareAddress = entry.hardwareAddress;
                answer.interfaceIndex = entry.interfaceIndex;
                answer.provenance = AnswerProvenance{row.confirmed, row.stateName, std::nullopt};
                return;
            }
        }
    }

    // Through a chosen adapter, SendARP sends from that adapter's own
    // address on the destination's network: its source picks the interface.
    static std::uint32_t SourceOnChosenAdapter(const NeighbourQuery& query, Ipv4Address& source) {
        const auto adapters = windows_backend::ReadAdapters();
        const Adapter* adapter = windows_backend::AdapterOfIndex(adapters, query.interfaceIndex);
        if (adapter == nullptr) {
            return arp_status::kNoRoute;
        }
        if (!adapter->usesArp) {
            return arp_status::kLinkWithoutArp;
        }
        if (!adapter->up) {
            return arp_status::kInterfaceDown;
        }
        const std::uint32_t destination = ntohl(query.address.V4Value());
        for (const auto& own : adapter->ipv4) {
            const std::uint32_t mask =
                own.prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - own.prefixLength);
            if ((ntohl(own.address) & mask) == (destination & mask)) {
                source = own.address;
                return arp_status::kOk;
            }
        }
        return arp_status::kWrongInterface;
    }

    // SendARP, exactly as the window asks: the same results for IPv4.
    static void ResolveIpv4(const NeighbourQuery& query, NeighbourAnswer& answer) {
        Ipv4Address source = query.source;
        if (query.interfaceIndex != 0 && source == 0) {
            answer.interfaceIndex = query.interfaceIndex;
            answer.status = SourceOnChosenAdapter(query, source);
            if (answer.status != arp_status::kOk) {
                return;
            }
        }
        ULONG buffer[2] = {0, 0};
        ULONG length = 6;
        answer.status = SendARP(query.address.V4Value(), source, buffer, &length);
        if (answer.status == NO_ERROR) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer);
            answer.hardwareAddress.assign(bytes, bytes + (length <= sizeof buffer ? length : 0));
            // SendARP does not say where it asked: the route's interface,
            // so that the result can name it.
            DWORD index = 0;
            if (answer.interfaceIndex == 0 &&
                GetBestInterface(query.address.V4Value(), &index) == NO_ERROR) {
                answer.interfaceIndex = index;
            }
        }
    }

    static void ResolveIpv6(const IpAddress& address, std::uint32_t chosenInterface,
                            NeighbourAnswer& answer) {
        static const ResolveIpNetEntry2Function resolve = FindResolveIpNetEntry2();
        if (resolve == nullptr) {
            answer.status = arp_status::kNotSupported;
            return;
        }
        IpNetRow2 row{};
        row.Address.Ipv6.sin6_family = AF_INET6;
        std::memcpy(&row.Address.Ipv6.sin6_addr, address.bytes.data(), 16);
        row.Address.Ipv6.sin6_scope_id = address.scope;
        row.InterfaceIndex = chosenInterface != 0 ? chosenInterface : address.scope;
        answer.status = resolve(&row, nullptr);
        if (answer.status == NO_ERROR) {
            const ULONG length =
                row.PhysicalAddressLength <= kMaxPhysicalAddress ? row.PhysicalAddressLength : 0;
            answer.hardwareAddress.assign(row.PhysicalAddress, row.PhysicalAddress + length);
            answer.interfaceIndex = row.InterfaceIndex;
        }
    }

    ResolverMode mode_;
};

}  // namespace

std::unique_ptr<NeighbourEngine> MakeSystemNeighbourEngine(ResolverMode mode) {
    // Said once, before any lookup, rather than "not supported" for each.
    if (mode == ResolverMode::kCached && !windows_backend::ReadNeighbourTable()) {
        throw std::system_error(ERROR_NOT_SUPPORTED, std::system_category(),
                                "this Windows cannot read its neighbour table (no GetIpNetTable2)");
    }
    // IP Helper tells an ordinary program no changes of the table: a watch
    // compares readings of it.
    return std::make_unique<ThreadedNeighbourEngine>(
        [mode] { return std::make_unique<WindowsNeighbourResolver>(mode); }, kMostThreads,
        []() -> std::optional<std::vector<NeighbourEntry>> {
            auto rows = windows_backend::ReadNeighbourTable();
            if (!rows) {
                return std::nullopt;  // no GetIpNetTable2 on this system
            }
            std::vector<NeighbourEntry> entries;
            for (auto& row : *rows) {
                entries.push_back(std::move(row.entry));
            }
            return entries;
        });
}

std::optional<std::uint32_t> InterfaceIndexNamed(const std::string& name) {
    const auto adapter = windows_backend::AdapterNamed(windows_backend::ReadAdapters(), name);
    if (!adapter) {
        return std::nullopt;
    }
    return adapter->ipv4Index != 0 ? adapter->ipv4Index : adapter->ipv6Index;
}

// The friendly name ("Ethernet"); empty for an index no adapter has, or
// when the adapters cannot be read (a name is only ever a label here).
std::string InterfaceNameOf(std::uint32_t index) {
    try {
        const auto adapters = windows_backend::ReadAdapters();
        const Adapter* adapter = windows_backend::AdapterOfIndex(adapters, index);
        return adapter != nullptr ? adapter->friendlyName : std::string();
    } catch (const std::system_error&) {
        return {};
    }
}

std::vector<AttachedNetwork> AttachedIpv4Networks(std::uint32_t interfaceIndex) {
    std::vector<AttachedNetwork> networks;
    for (const auto& adapter : windows_backend::ReadAdapters()) {
        if (!adapter.up || !adapter.usesArp || adapter.ipv4Index == 0 ||
            (interfaceIndex != 0 && adapter.ipv4Index != interfaceIndex)) {
            continue;
        }
        for (const auto& own : adapter.ipv4) {
            networks.push_back({adapter.ipv4Index, own.address, own.prefixLength});
        }
    }
    return networks;
}

// SendARP keeps its own table and evicts nothing of ours to make room.
NeighbourTableGauge MakeNeighbourTableGauge() {
    return [](IpAddress::Family) -> std::optional<std::size_t> { return std::nullopt; };
}

}  // namespace varnock
