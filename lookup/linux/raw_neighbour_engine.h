#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "lookup/linux/lookup_book.h"
#include "lookup/linux/neighbour_packets.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/raw_neighbour_sockets.h"
#include "lookup/linux/route_step.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/send_pacing.h"
#include "lookup/neighbour_engine.h"
#include "lookup/raw_method.h"

namespace varnock::linux_backend {

// One lookup of the raw method, as the engine keeps it.
struct RawLookup {
    using Clock = NeighbourEngine::Clock;
    NeighbourQuery query;
    NeighbourEngine::Finished finished;
    std::optional<NeighbourAnswer> answer;  // final, waiting to be delivered
    bool routed = false;
    std::uint32_t interfaceIndex = 0;
    packets::HardwareAddress ownHardware{};
    Ipv4Address source = 0;
    unsigned sent = 0;   // requests that went out
    unsigned tries = 0;  // tries begun, whether they went out or not
    // The try begun has not gone out yet: the interface would not take it
    // (a full queue), and it is sent again until its wait is over.
    bool unsent = false;
    int lastRefusal = 0;          // the errno of the last send the interface would not take
    Clock::time_point tryEnd{};   // the end of the wait of the try begun
    Clock::time_point waitEnd{};  // when the lookup is looked at next
    std::optional<Clock::time_point> deadline{};  // the query's cap, from the first try
};

// Asks the hosts itself: ARP requests and neighbour solicitations go out on
// sockets opened with CAP_NET_RAW (which the process then gives up), and
// the replies are read back here, so the kernel's neighbour table is neither
// asked nor filled and its limits do not apply. Routes and interfaces are
// still the kernel's, over rtnetlink: an address is asked only where the
// kernel's method would ask it, and refused for the same reasons.
//
// A reply answers a lookup only when it names the address asked as its
// sender (ARP) or target (an advertisement with hop limit 255) and came in
// on the interface the request went out on. Requests go out at a fixed
// pace, first tries in the order submitted and retries of unanswered
// addresses before them. A try that the interface would not send (its queue
// full) is sent again until its wait is over and counts as a try all the
// same: an address whose requests never go out is given up at its deadline
// or after its tries, with the interface's reason.
class RawNeighbourEngine final : public NeighbourEngine, private LookupBook<RawLookup> {
public:
    // `sockets`: SystemRawSockets, or a stand-in. Where they have no
    // neighbour discovery, IPv6 lookups are answered with
    // arp_status::kSystemError.
    RawNeighbourEngine(std::unique_ptr<RawNeighbourSockets> sockets,
                       const RawMethodSettings& settings);
    // The same with the kernel's routes, addresses and interfaces asked of
    // `routes` (a stand-in in tests) rather than over a request socket.
    RawNeighbourEngine(std::unique_ptr<RawNeighbourSockets> sockets,
                       const RawMethodSettings& settings, std::unique_ptr<RouteQuestions> routes);

    Ticket Submit(const NeighbourQuery& query, Finished finished) override;
    void Cancel(Ticket ticket) override;
    void Run(Clock::time_point until) override;
    std::size_t InFlight() const override { return lookups_.size(); }

private:
    using Lookup = RawLookup;

    // Everything before the first request: the route and the interface.
    // An answer when that decides.
    std::optional<NeighbourAnswer> Prepare(Ticket ticket, Lookup& lookup);
    // Sends the lookup's next try; an answer when the send was refused.
    std::optional<NeighbourAnswer> SendTry(Lookup& lookup, Clock::time_point now);
    void SendDue(Clock::time_point now);
    void Expire(Clock::time_point now);
    // The answer of a lookup whose tries are over.
    NeighbourAnswer GivenUp(const Lookup& lookup) const;
    void ReadReplies();
    void Heard(const NeighbourKey& key, const packets::HardwareAddress& hardware);
    // The interface's own hardware address, read again after a while;
    // nothing when it is not six bytes long or the interface has gone.
    std::optional<packets::HardwareAddress> OwnHardware(std::uint32_t index);
    Ipv4Address SourceFor(const Lookup& lookup);

    std::unique_ptr<RawNeighbourSockets> sockets_;
    std::unique_ptr<RouteQuestions> routes_;
    std::map<IpAddress::Family, Flow> flows_;  // the process's, asked for each route
    RawMethodSettings settings_;
    SendPacer pacer_;

    std::deque<Ticket> firstTries_;
    std::deque<Ticket> retries_;
    std::multimap<Clock::time_point, Ticket> waits_;

    struct KnownHardware {
        Clock::time_point read;
        std::optional<packets::HardwareAddress> hardware;
    };
    std::map<std::uint32_t, KnownHardware> hardware_;
    // The first IPv4 address each hardware address answered for, per interface.
    std::map<std::pair<std::uint32_t, packets::HardwareAddress>, IpAddress> answeredFor_;
};

}  // namespace varnock::linux_backend
