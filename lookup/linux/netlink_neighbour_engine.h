#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "lookup/linux/lookup_book.h"
#include "lookup/linux/neighbour_table_questions.h"
#include "lookup/linux/notification_source.h"
#include "lookup/linux/probe_socket.h"
#include "lookup/linux/route_step.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/table_observation.h"
#include "lookup/neighbour_engine.h"

namespace varnock::linux_backend {

// One lookup of the kernel's method, as the engine keeps it.
struct KernelLookup {
    using Clock = NeighbourEngine::Clock;
    NeighbourQuery query;
    NeighbourEngine::Finished finished;
    std::optional<NeighbourAnswer> answer;  // final, waiting to be delivered
    std::uint32_t interfaceIndex = 0;
    std::string interfaceName;
    ProbeSocket* probe = nullptr;
    // The table held an address nobody confirmed lately: its host is
    // asked first, and only then is the address resolved from scratch.
    bool confirming = false;
    bool fromScratch = false;
    Clock::time_point deadline;  // the lookup's own: its cap, or the longest wait
    Clock::time_point phaseEnd;  // the kernel's schedule for what it does now
};

// Resolves neighbours through the kernel's own ARP or neighbour discovery,
// which any user may trigger: no raw sockets, no capabilities. The kernel is
// asked over rtnetlink what it already knows, an empty datagram makes it
// resolve an address (or asks the host behind an entry it has not heard
// from lately), and its notifications bring the answers. Only addresses the
// host or the kernel confirmed for the lookup are answers.
//
// One engine serves any number of lookups with one subscription to the
// kernel's neighbour notifications, one request socket, one datagram
// socket per family and flow, and one poll() on one clock: a sweep of
// thousands of addresses costs no more descriptors than one lookup.
class NetlinkNeighbourEngine final : public NeighbourEngine, private LookupBook<KernelLookup> {
public:
    // `notificationBufferBytes` > 0 shrinks the notification socket's
    // receive buffer: only tests want that, to make the kernel drop
    // notifications. Throws std::system_error when the kernel cannot be
    // asked at all.
    explicit NetlinkNeighbourEngine(ResolverMode mode, int notificationBufferBytes = 0);

    // What the engine asks and hears: the kernel's, made by the constructor
    // above, or stand-ins in tests.
    struct Parts {
        // The subscription to neighbour and link notifications; live mode
        // only (nothing for the cached mode).
        std::unique_ptr<NotificationSource> notifications;
        std::unique_ptr<NeighbourTableQuestions> table;
        // Told of link changes from the notifications.
        std::unique_ptr<RouteQuestions> routes;
        ProbeMaker makeProbe;
        // Keeps what `table` and `routes` ask through (the request socket).
        std::shared_ptr<void> keep;
    };
    NetlinkNeighbourEngine(ResolverMode mode, Parts parts);

    Ticket Submit(const NeighbourQuery& query, Finished finished) override;
    void Cancel(Ticket ticket) override;
    void Run(Clock::time_point until) override;
    std::size_t InFlight() const override { return lookups_.size(); }

    // How many times the kernel dropped notifications on us (ENOBUFS). Each
    // time the lookups waiting then asked the table instead.
    std::uint64_t LostNotificationBatches() const { return lostNotificationBatches_; }

    // Live engines only (the cached one has no subscription); throws
    // std::logic_error for a second observer.
    std::optional<std::vector<NeighbourEntry>> Observe(NeighbourObserver& observer,
                                                       std::uint32_t interfaceIndex) override;

private:
    using Lookup = KernelLookup;

    // Everything that needs only the kernel's tables; an answer when that
    // decides, or nothing when the lookup must wait (it then waits).
    std::optional<NeighbourAnswer> Start(Ticket ticket, Lookup& lookup);
    std::optional<NeighbourAnswer> StartCached(Lookup& lookup);
    // Sends the datagram for the lookup's current phase; an answer when the
    // send was refused at once.
    std::optional<NeighbourAnswer> Send(Lookup& lookup);

    void Decide(Ticket ticket, const rtnl::Neighbour* heard);
    // Decides on the table's entry for the lookup, as just read.
    void DecideOn(Ticket ticket, const std::optional<rtnl::Neighbour>& entry);
    void GaveUp(Ticket ticket);
    void Expire(Clock::time_point now);
    void ReadNotifications();
    void Heard(std::span<const std::byte> datagram);
    // Notifications were lost: the observer is told the table as read now,
    // and every waiting lookup decides on it.
    void LostNotifications();
    // The hosts' refusals on every datagram socket, or on one.
    void ReadRefusals();
    void ReadRefusals(ProbeSocket& probe);
    std::optional<rtnl::Neighbour> AskTable(const Lookup& lookup);
    ProbeSocket& ProbeFor(const IpAddress& destination, const NeighbourQuery& query);
    std::chrono::milliseconds Schedule(const Lookup& lookup);

    ResolverMode mode_;
    std::shared_ptr<void> keep_;
    std::unique_ptr<NotificationSource> notifications_;
    std::unique_ptr<NeighbourTableQuestions> table_;
    std::unique_ptr<RouteQuestions> routes_;
    ProbeMaker makeProbe_;
    std::map<std::tuple<IpAddress::Family, std::uint32_t, Ipv4Address>,
             std::unique_ptr<ProbeSocket>>
        probes_;

    std::map<IpAddress::Family, Flow> flows_;  // the process's, for the cached mode

    // The interfaces' neighbour settings, read again after a while.
    struct KnownSchedule {
        Clock::time_point read;
        std::chrono::milliseconds wait;
    };
    std::map<std::tuple<std::string, bool, bool>, KnownSchedule> schedules_;

    std::uint64_t lostNotificationBatches_ = 0;

    std::optional<TableObservation> observation_;
};

}  // namespace varnock::linux_backend
