#include "lookup/linux/cached_neighbour_resolver.h"

#include <linux/neighbour.h>
#include <unistd.h>

#include <chrono>

#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/neighbour_wait.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/table_answers.h"

namespace varnock::linux_backend {
namespace {

// The table is asked, never the network: this is only a bound in case the
// kernel does not answer.
constexpr std::chrono::seconds kTableDeadline{2};

std::string StateName(std::uint16_t state) {
    switch (state) {
        case NUD_REACHABLE:
            return "reachable";
        case NUD_STALE:
            return "stale";
        case NUD_DELAY:
            return "delay";
        case NUD_PROBE:
            return "probe";
        case NUD_PERMANENT:
            return "permanent";
        case NUD_NOARP:
            return "noarp";
        default:
            return "other";
    }
}

}  // namespace

NeighbourAnswer CachedNeighbourResolver::Resolve(const NeighbourQuery& query) {
    NeighbourAnswer answer;
    const IpAddress& destination = query.address;
    if (const auto refusal = RefusalBeforeAsking(destination, query.interfaceIndex)) {
        answer.status = *refusal;
        return answer;
    }
    const std::uint32_t chosenInterface =
        query.interfaceIndex != 0 ? query.interfaceIndex : destination.scope;
    NetlinkSocket requests(NetlinkSocket::Mode::kRequests);
    requests.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
    const auto route = QueryRoute(requests, destination, query.source, chosenInterface);
    if (const auto verdict = JudgeRoute(route); verdict.refusal) {
        answer.status = *verdict.refusal;
        return answer;
    } else if (verdict.ownAddress) {
        answer.status = AnswerForOwnAddress(requests, destination, *route, answer.hardwareAddress,
                                            answer.interfaceIndex);
        answer.provenance = AnswerProvenance{true, "local", std::nullopt};
        return answer;
    }
    answer.interfaceIndex = route->outputInterface;
    if (chosenInterface != 0 && route->outputInterface != chosenInterface) {
        answer.status = arp_status::kWrongInterface;
        return answer;
    }
    const auto entry = QueryNeighbour(requests, destination, route->outputInterface);
    if (!entry || !HoldsAddress(*entry)) {
        answer.status = arp_status::kNotCached;
        return answer;
    }
    AnswerProvenance provenance{IsConfirmed(*entry), StateName(entry->state), std::nullopt};
    if (const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
        entry->ticksSinceConfirmed && ticksPerSecond > 0) {
        provenance.sinceConfirmed =
            std::chrono::seconds(*entry->ticksSinceConfirmed / ticksPerSecond);
    }
    answer.status = arp_status::kOk;
    answer.hardwareAddress = entry->hardwareAddress;
    answer.provenance = std::move(provenance);
    return answer;
}

}  // namespace varnock::linux_backend
