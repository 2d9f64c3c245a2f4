#pragma once

// The lookup for front ends that ask more than the window does: IPv4 and
// IPv6, through a chosen interface, live or from the table as it stands.
// ArpRequest, the window's IPv4 contract, is built on it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lookup/arp_request.h"
#include "lookup/ip_address.h"

namespace varnock {

// How an answer was known, for front ends that tell the user.
struct AnswerProvenance {
    // The host or the system confirmed the address lately; false for an
    // address the system holds but has not heard from lately.
    bool confirmed = true;
    std::string state;  // the system's word for its entry: "reachable", "stale", ...
    // How long ago the system last heard the host, when it says.
    std::optional<std::chrono::seconds> sinceConfirmed;
};

struct NeighbourQuery {
    IpAddress address;
    // Look up only through this interface: the route must leave through it.
    // 0: wherever the route leads (a link-local address's scope decides).
    std::uint32_t interfaceIndex = 0;
    // Caps the wait for an answer; without it the system's own schedule.
    std::optional<std::chrono::milliseconds> maxWait;
    // The source address to send from (IPv4 only; 0: the system's choice).
    Ipv4Address source = 0;
};

struct NeighbourAnswer {
    std::uint32_t status = arp_status::kNoAnswer;  // arp_status::kOk: answered
    std::vector<std::uint8_t> hardwareAddress;     // when answered
    std::uint32_t interfaceIndex = 0;              // the interface asked, when known
    std::optional<AnswerProvenance> provenance;    // answers from the table as it stands
};

class NeighbourResolver {
public:
    virtual ~NeighbourResolver() = default;

    // Blocks until the answer, a refusal or the system's give-up. Throws
    // std::system_error when the system cannot be asked at all.
    virtual NeighbourAnswer Resolve(const NeighbourQuery& query) = 0;
};

enum class ResolverMode {
    kLive,    // only answers the host or the system confirmed for this lookup
    kCached,  // what the table holds, sending nothing; answers carry provenance
};

std::unique_ptr<NeighbourResolver> MakeSystemNeighbourResolver(ResolverMode mode);

// The system's interfaces by name and index; nothing for an unknown one.
std::optional<std::uint32_t> InterfaceIndexNamed(const std::string& name);
std::string InterfaceNameOf(std::uint32_t index);

// A network directly attached to an interface that resolves neighbours and
// can send: what "every host of the local networks" means.
struct AttachedNetwork {
    std::uint32_t interfaceIndex = 0;
    Ipv4Address address = 0;  // the interface's own address on it
    std::uint8_t prefixLength = 0;
};
// The IPv4 networks of such interfaces (only `interfaceIndex`'s, when not 0).
std::vector<AttachedNetwork> AttachedIpv4Networks(std::uint32_t interfaceIndex = 0);

}  // namespace varnock
