#include "lookup/linux/neighbour_cache_reader.h"

#include <linux/neighbour.h>
#include <netinet/in.h>
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

std::uint32_t NeighbourCacheReader::Send(Ipv4Address destination, Ipv4Address source, void* answer,
                                         std::uint32_t& answerLength) {
    provenance_.reset();
    if (answer == nullptr) {
        return arp_status::kInvalidParameter;
    }
    if (destination == INADDR_BROADCAST || IN_MULTICAST(ntohl(destination))) {
        return arp_status::kNotUnicast;
    }
    NetlinkSocket requests(NetlinkSocket::Mode::kRequests);
    requests.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
    const auto route = QueryRoute(requests, destination, source);
    if (const auto verdict = JudgeRoute(route); verdict.refusal) {
        return *verdict.refusal;
    } else if (verdict.ownAddress) {
        const std::uint32_t status =
            AnswerForOwnAddress(requests, destination, *route, answer, answerLength);
        provenance_ = AnswerProvenance{true, "local", std::nullopt};
        return status;
    }
    const auto entry = QueryNeighbour(requests, destination, route->outputInterface);
    if (!entry || !HoldsAddress(*entry)) {
        return arp_status::kNotCached;
    }
    AnswerProvenance provenance{IsConfirmed(*entry), StateName(entry->state), std::nullopt};
    if (const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
        entry->ticksSinceConfirmed && ticksPerSecond > 0) {
        provenance.sinceConfirmed =
            std::chrono::seconds(*entry->ticksSinceConfirmed / ticksPerSecond);
    }
    provenance_ = std::move(provenance);
    return CopyAnswer(entry->hardwareAddress, answer, answerLength);
}

}  // namespace varnock::linux_backend

namespace varnock {

std::unique_ptr<ArpRequest> MakeSystemCacheReader() {
    return std::make_unique<linux_backend::NeighbourCacheReader>();
}

}  // namespace varnock
