// The Windows side of lookup/neighbour_engine.h: IPv4 through SendARP, as
// the window asks, and IPv6 through IP Helper's ResolveIpNetEntry2 where the
// system has it. Both block, so the engine runs them on a few threads.

// winsock2.h must come before windows.h, and iphlpapi.h needs both.
// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstring>

#include "lookup/neighbour_resolver.h"
#include "lookup/threaded_neighbour_engine.h"
#include "lookup/windows/ip_helper.h"

namespace varnock {
namespace {

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
        } else if (mode_ == ResolverMode::kCached || query.interfaceIndex != 0) {
            // Neither the table as it stands nor a chosen interface is wired
            // up on Windows yet.
            answer.status = arp_status::kNotSupported;
        } else if (!address.IsV6()) {
            ResolveIpv4(query, answer);
        } else {
            ResolveIpv6(address, answer);
        }
        return answer;
    }

private:
    // SendARP, exactly as the window asks: the same results for IPv4.
    static void ResolveIpv4(const NeighbourQuery& query, NeighbourAnswer& answer) {
        ULONG buffer[2] = {0, 0};
        ULONG length = 6;
        answer.status = SendARP(query.address.V4Value(), query.source, buffer, &length);
        if (answer.status == NO_ERROR) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer);
            answer.hardwareAddress.assign(bytes, bytes + (length <= sizeof buffer ? length : 0));
        }
    }

    static void ResolveIpv6(const IpAddress& address, NeighbourAnswer& answer) {
        static const ResolveIpNetEntry2Function resolve = FindResolveIpNetEntry2();
        if (resolve == nullptr) {
            answer.status = arp_status::kNotSupported;
            return;
        }
        IpNetRow2 row{};
        row.Address.Ipv6.sin6_family = AF_INET6;
        std::memcpy(&row.Address.Ipv6.sin6_addr, address.bytes.data(), 16);
        row.Address.Ipv6.sin6_scope_id = address.scope;
        row.InterfaceIndex = address.scope;
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
    return std::make_unique<ThreadedNeighbourEngine>(
        [mode] { return std::make_unique<WindowsNeighbourResolver>(mode); }, kMostThreads);
}

// Interface names, and the networks they hold, are not wired up on Windows
// yet: -I and --localnet say so.
std::optional<std::uint32_t> InterfaceIndexNamed(const std::string&) {
    return std::nullopt;
}

std::string InterfaceNameOf(std::uint32_t) {
    return "";
}

std::vector<AttachedNetwork> AttachedIpv4Networks(std::uint32_t) {
    return {};
}

// SendARP keeps its own table and evicts nothing of ours to make room.
NeighbourTableGauge MakeNeighbourTableGauge() {
    return [](IpAddress::Family) -> std::optional<std::size_t> { return std::nullopt; };
}

}  // namespace varnock
