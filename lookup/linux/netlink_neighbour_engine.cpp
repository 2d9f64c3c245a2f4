#include "lookup/linux/netlink_neighbour_engine.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "lookup/linux/kernel_timing.h"
#include "lookup/linux/neighbour_settings.h"
#include "lookup/linux/neighbour_states.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/notification_source.h"
#include "lookup/linux/route_step.h"
#include "lookup/linux/socket_flow.h"

namespace varnock::linux_backend {
namespace {

using Clock = NeighbourEngine::Clock;

// Past the kernel's own give-up time, so that its FAILED verdict (or a late
// reply) is the one we report rather than our own impatience.
constexpr std::chrono::milliseconds kGiveUpMargin{250};
// What a failed send of the datagram says, when it says something that is
// known at once; nothing when the kernel's verdict must decide.
std::optional<std::uint32_t> RefusalOfSend(int error) {
    switch (error) {
        case 0:
            return std::nullopt;
        case EPERM:
        case EACCES:
            // A netfilter rule in the output path dropped it.
            return arp_status::kBlockedByFirewall;
        case ENOBUFS:
        case EINVAL:
            // No room for a new neighbour entry (gc_thresh3 reached).
            return arp_status::kNeighbourTableFull;
        case ENETUNREACH:
        case EHOSTUNREACH:
            return arp_status::kNoRoute;
        case ENETDOWN:
            return arp_status::kInterfaceDown;
        default:
            return std::nullopt;
    }
}

NetlinkNeighbourEngine::Parts KernelParts(ResolverMode mode, int notificationBufferBytes) {
    NetlinkNeighbourEngine::Parts parts;
    const bool live = mode == ResolverMode::kLive;
    if (live) {
        // Subscribed before anything can make the kernel send: on a fast link
        // the reply arrives within the send itself, and a late subscriber
        // misses it.
        // The links' changes too: what the engine knows of an interface
        // holds until the kernel says it changed.
        auto notifications = std::make_unique<NetlinkSocket>(NetlinkSocket::Mode::kNotifications,
                                                             RTMGRP_NEIGH | RTMGRP_LINK);
        if (notificationBufferBytes > 0) {
            notifications->LimitReceiveBuffer(notificationBufferBytes);
        }
        parts.notifications = std::move(notifications);
    }
    auto requests = std::make_shared<NetlinkSocket>(NetlinkSocket::Mode::kRequests);
    parts.table = std::make_unique<KernelNeighbourTable>(*requests);
    parts.routes = std::make_unique<KernelRouteQuestions>(*requests, live);
    parts.makeProbe = [](IpAddress::Family family, std::uint32_t interfaceIndex,
                         Ipv4Address source) {
        return std::make_unique<UdpProbeSocket>(family, interfaceIndex, source);
    };
    parts.keep = std::move(requests);
    return parts;
}

}  // namespace

NetlinkNeighbourEngine::NetlinkNeighbourEngine(ResolverMode mode, int notificationBufferBytes)
    : NetlinkNeighbourEngine(mode, KernelParts(mode, notificationBufferBytes)) {}

NetlinkNeighbourEngine::NetlinkNeighbourEngine(ResolverMode mode, Parts parts)
    : mode_(mode),
      keep_(std::move(parts.keep)),
      notifications_(mode == ResolverMode::kLive ? std::move(parts.notifications) : nullptr),
      table_(std::move(parts.table)),
      routes_(std::move(parts.routes)),
      makeProbe_(std::move(parts.makeProbe)) {}

NeighbourEngine::Ticket NetlinkNeighbourEngine::Submit(const NeighbourQuery& query,
                                                       Finished finished) {
    const Ticket ticket = Open(query, std::move(finished));
    Lookup& lookup = lookups_.at(ticket);
    std::optional<NeighbourAnswer> answer;
    try {
        answer = Start(ticket, lookup);
    } catch (const std::exception& failure) {
        answer = CouldNotAsk(failure.what());
    }
    if (answer) {
        Finish(ticket, std::move(*answer));
    }
    return ticket;
}

void NetlinkNeighbourEngine::Cancel(Ticket ticket) {
    Forget(ticket);
}

std::optional<NeighbourAnswer> NetlinkNeighbourEngine::Start(Ticket ticket, Lookup& lookup) {
    const NeighbourQuery& query = lookup.query;
    if (mode_ == ResolverMode::kCached) {
        return StartCached(lookup);
    }
    const auto start = Clock::now();
    lookup.deadline = start + 2 * (kLongestNeighbourWait + kGiveUpMargin);
    if (query.maxWait) {
        lookup.deadline = std::min(lookup.deadline, start + *query.maxWait);
    }
    // The route is asked for the flow the datagram will really take: its
    // socket may be bound to an interface (a VRF, or the one chosen) or
    // carry a mark.
    ProbeSocket& probe = ProbeFor(query.address, query);
    auto step = TakeRouteStep(*routes_, query, probe.FlowOf());
    if (step.answer) {
        return std::move(step.answer);
    }
    lookup.interfaceIndex = step.interfaceIndex;
    lookup.interfaceName = std::move(step.interfaceName);
    lookup.probe = &probe;

    // Only an address the kernel has confirmed is an answer as it stands. One
    // it has not heard from lately is asked of the host itself: the datagram
    // goes to that hardware address, and the host's refusal of it, or the
    // kernel's own probes, confirm it or prove it gone.
    const auto known = AskTable(lookup);
    if (known && IsConfirmed(*known)) {
        return Answered(known->hardwareAddress, lookup.interfaceIndex);
    }
    lookup.confirming = known && HoldsAddress(*known);
    Wait(ticket, lookup);
    return Send(lookup);
}

std::optional<NeighbourAnswer> NetlinkNeighbourEngine::StartCached(Lookup& lookup) {
    const auto family = lookup.query.address.family;
    auto flow = flows_.find(family);
    if (flow == flows_.end()) {
        flow = flows_.emplace(family, ProcessFlow(family)).first;
    }
    auto step = TakeRouteStep(*routes_, lookup.query, flow->second);
    if (step.answer) {
        if (step.ownAddress) {
            step.answer->provenance = AnswerProvenance{true, "local", std::nullopt};
        }
        return std::move(step.answer);
    }
    lookup.interfaceIndex = step.interfaceIndex;
    const auto entry = AskTable(lookup);
    if (!entry || !HoldsAddress(*entry)) {
        return Refused(arp_status::kNotCached, lookup.interfaceIndex);
    }
    NeighbourAnswer answer = Answered(entry->hardwareAddress, lookup.interfaceIndex);
    answer.provenance = ProvenanceOf(*entry);
    return answer;
}

std::optional<NeighbourAnswer> NetlinkNeighbourEngine::Send(Lookup& lookup) {
    const auto sent = Clock::now();
    if (const auto refused = RefusalOfSend(lookup.probe->Send(lookup.query.address))) {
        return Refused(*refused, lookup.interfaceIndex);
    }
    lookup.phaseEnd = std::min(lookup.deadline, sent + Schedule(lookup) + kGiveUpMargin);
    return std::nullopt;
}

void NetlinkNeighbourEngine::Run(Clock::time_point until) {
    for (;;) {
        DeliverAnswers();
        if (observation_ ? observation_->TakeStop() : lookups_.empty()) {
            return;
        }
        const auto now = Clock::now();
        Expire(now);
        if (!answered_.empty()) {
            continue;
        }
        if (now >= until) {
            return;
        }
        auto wake = until;
        for (const auto& [ticket, lookup] : lookups_) {
            if (!lookup.answer) {
                wake = std::min(wake, lookup.phaseEnd);
            }
        }
        // The datagram sockets are watched for errors only (the hosts'
        // refusals); poll reports those unasked.
        std::vector<pollfd> watched;
        watched.reserve(1 + probes_.size());
        if (notifications_) {
            watched.push_back({notifications_->Fd(), POLLIN, 0});
        }
        for (const auto& [key, probe] : probes_) {
            watched.push_back({probe->Fd(), 0, 0});
        }
        const auto remaining =
            std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
        if (::poll(watched.data(), watched.size(),
                   static_cast<int>(std::clamp<long long>(remaining, 0, 60'000))) < 0) {
            if (errno != EINTR) {
                throw std::system_error(errno, std::generic_category(), "poll");
            }
            // A signal: the observer says whether it ends the run.
            if (observation_ && observation_->Observer().StopRunning()) {
                return;
            }
        }
        ReadNotifications();
        // Only the sockets poll found an error on: a read of each on every
        // wake-up would cost a call per socket for what is rare.
        std::size_t index = notifications_ ? 1 : 0;
        for (const auto& [key, probe] : probes_) {
            if (index < watched.size() && (watched[index++].revents & POLLERR) != 0) {
                ReadRefusals(*probe);
            }
        }
    }
}

std::optional<std::vector<NeighbourEntry>> NetlinkNeighbourEngine::Observe(
    NeighbourObserver& observer, std::uint32_t interfaceIndex) {
    if (!notifications_) {
        return std::nullopt;  // the kernel tells only a subscriber
    }
    if (observation_) {
        throw std::logic_error("the engine's table is observed already");
    }
    observation_.emplace(observer, interfaceIndex, [this](std::uint32_t index) {
        const auto facts = routes_->Interface(index);
        return facts && facts->usesArp;
    });
    return observation_->Observed(table_->Whole());
}

void NetlinkNeighbourEngine::Decide(Ticket ticket, const rtnl::Neighbour* heard) {
    Lookup* const unanswered = Unanswered(ticket);
    if (unanswered == nullptr) {
        return;
    }
    Lookup& lookup = *unanswered;
    if (heard != nullptr && IsConfirmed(*heard)) {
        Finish(ticket, Answered(heard->hardwareAddress, lookup.interfaceIndex));
        return;
    }
    // A FAILED that was already on its way before our datagram restarted
    // the resolution must not end the wait, and a lost notification may
    // have been the answer: the table says.
    std::optional<rtnl::Neighbour> entry;
    try {
        entry = AskTable(lookup);
    } catch (const std::exception& failure) {
        Finish(ticket, CouldNotAsk(failure.what()));
        return;
    }
    DecideOn(ticket, entry);
}

void NetlinkNeighbourEngine::DecideOn(Ticket ticket, const std::optional<rtnl::Neighbour>& entry) {
    Lookup* const unanswered = Unanswered(ticket);
    if (unanswered == nullptr) {
        return;
    }
    try {
        const auto verdict = Verdict::Of(entry);
        if (verdict.state == Verdict::State::kAnswered) {
            Finish(ticket, Answered(verdict.entry.hardwareAddress, unanswered->interfaceIndex));
        } else if (verdict.state == Verdict::State::kGaveUp) {
            GaveUp(ticket);
        }
    } catch (const std::exception& failure) {
        Finish(ticket, CouldNotAsk(failure.what()));
    }
}

void NetlinkNeighbourEngine::GaveUp(Ticket ticket) {
    Lookup& lookup = lookups_.at(ticket);
    // The host behind an unconfirmed entry did not answer at its old
    // hardware address; the address may have moved to another machine, so
    // the kernel is asked to resolve it once more from scratch.
    if (lookup.confirming && !lookup.fromScratch && Clock::now() < lookup.deadline) {
        lookup.confirming = false;
        lookup.fromScratch = true;
        if (auto refused = Send(lookup)) {
            Finish(ticket, std::move(*refused));
        }
        return;
    }
    Finish(ticket, Refused(arp_status::kNoAnswer, lookup.interfaceIndex));
}

void NetlinkNeighbourEngine::Expire(Clock::time_point now) {
    std::vector<Ticket> due;
    for (const auto& [ticket, lookup] : lookups_) {
        if (!lookup.answer && lookup.phaseEnd <= now) {
            due.push_back(ticket);
        }
    }
    if (due.empty()) {
        return;
    }
    // A host's refusal may be in and unread.
    ReadRefusals();
    for (const Ticket ticket : due) {
        Lookup* const unanswered = Unanswered(ticket);
        if (unanswered == nullptr) {
            continue;
        }
        Lookup& lookup = *unanswered;
        try {
            // The last word is the table's, in case the answer slipped past.
            const auto entry = AskTable(lookup);
            const auto verdict = Verdict::Of(entry);
            if (verdict.state == Verdict::State::kAnswered) {
                Finish(ticket, Answered(verdict.entry.hardwareAddress, lookup.interfaceIndex));
            } else if (verdict.state == Verdict::State::kGaveUp) {
                GaveUp(ticket);
            } else if (entry && HoldsAddress(*entry)) {
                // Neither the host nor the kernel confirmed the address in
                // time: not "no answer", which would call a live host gone.
                NeighbourAnswer unconfirmed =
                    Refused(arp_status::kNotConfirmed, lookup.interfaceIndex);
                unconfirmed.hardwareAddress = entry->hardwareAddress;
                unconfirmed.provenance = ProvenanceOf(*entry);
                Finish(ticket, std::move(unconfirmed));
            } else {
                Finish(ticket, Refused(arp_status::kNoAnswer, lookup.interfaceIndex));
            }
        } catch (const std::exception& failure) {
            Finish(ticket, CouldNotAsk(failure.what()));
        }
    }
}

void NetlinkNeighbourEngine::ReadNotifications() {
    if (notifications_) {
        ReadQueuedNotifications(
            *notifications_, [this](std::span<const std::byte> datagram) { Heard(datagram); },
            [this] { LostNotifications(); });
    }
}

void NetlinkNeighbourEngine::Heard(std::span<const std::byte> datagram) {
    const bool listening = !waiters_.empty() || observation_;
    std::vector<std::pair<Ticket, rtnl::Neighbour>> heard;
    ForEachNotification(
        datagram,
        [&](std::uint32_t interfaceIndex) {
            // An interface that goes and one that comes under its index
            // must not share what is known of it.
            routes_->LinkChanged(interfaceIndex);
            if (observation_) {
                observation_->LinkChanged(interfaceIndex);
            }
        },
        [&](const rtnl::Neighbour& neighbour) {
            if (!listening) {
                return;
            }
            if (observation_) {
                observation_->Changed(neighbour);
            }
            if (!IsConfirmed(neighbour) && neighbour.state != NUD_FAILED) {
                return;
            }
            const auto found =
                waiters_.find({neighbour.interfaceIndex, neighbour.destination.family,
                               neighbour.destination.bytes});
            if (found == waiters_.end()) {
                return;
            }
            for (const Ticket ticket : found->second) {
                heard.emplace_back(ticket, neighbour);
            }
        });
    for (const auto& [ticket, neighbour] : heard) {
        Decide(ticket, &neighbour);
    }
}

void NetlinkNeighbourEngine::LostNotifications() {
    ++lostNotificationBatches_;
    routes_->LinksUnknown();
    // What we wait for may have been among the lost: every waiting lookup
    // asks the table. With an observer the whole table is read once and
    // serves both; otherwise each lookup asks for its own entry.
    std::vector<Ticket> waiting;
    for (const auto& [key, tickets] : waiters_) {
        waiting.insert(waiting.end(), tickets.begin(), tickets.end());
    }
    if (!observation_) {
        for (const Ticket ticket : waiting) {
            Decide(ticket, nullptr);
        }
        return;
    }
    const auto table = table_->Whole();
    observation_->Lost(table);
    for (const Ticket ticket : waiting) {
        const Lookup* lookup = Unanswered(ticket);
        if (lookup == nullptr) {
            continue;
        }
        std::optional<rtnl::Neighbour> entry;
        for (const auto& neighbour : table) {
            if (neighbour.interfaceIndex == lookup->interfaceIndex &&
                neighbour.destination.SameAddress(lookup->query.address)) {
                entry = neighbour;
                break;
            }
        }
        DecideOn(ticket, entry);
    }
}

void NetlinkNeighbourEngine::ReadRefusals() {
    for (const auto& [key, probe] : probes_) {
        ReadRefusals(*probe);
    }
}

void NetlinkNeighbourEngine::ReadRefusals(ProbeSocket& probe) {
    for (const auto& refusal : probe.TakeRefusals()) {
        // Only the lookups on the interface the refusal came in on: the
        // same address on another network is another host.
        const auto found =
            waiters_.find({refusal.interfaceIndex, refusal.address.family, refusal.address.bytes});
        if (found == waiters_.end()) {
            continue;
        }
        const std::vector<Ticket> asking = found->second;
        for (const Ticket ticket : asking) {
            Lookup& lookup = lookups_.at(ticket);
            try {
                // The host answered the datagram sent to the hardware
                // address the table holds: that address is confirmed,
                // whatever state the kernel keeps.
                if (auto entry = AskTable(lookup); entry && HoldsAddress(*entry)) {
                    Finish(ticket, Answered(entry->hardwareAddress, lookup.interfaceIndex));
                }
            } catch (const std::exception& failure) {
                Finish(ticket, CouldNotAsk(failure.what()));
            }
        }
    }
}

std::optional<rtnl::Neighbour> NetlinkNeighbourEngine::AskTable(const Lookup& lookup) {
    return table_->Entry(lookup.query.address, lookup.interfaceIndex);
}

ProbeSocket& NetlinkNeighbourEngine::ProbeFor(const IpAddress& destination,
                                              const NeighbourQuery& query) {
    const Ipv4Address source = destination.IsV6() ? 0 : query.source;
    auto& probe = probes_[{destination.family, query.interfaceIndex, source}];
    if (!probe) {
        probe = makeProbe_(destination.family, query.interfaceIndex, source);
    }
    return *probe;
}

std::chrono::milliseconds NetlinkNeighbourEngine::Schedule(const Lookup& lookup) {
    const bool v6 = lookup.query.address.IsV6();
    auto& known = schedules_[{lookup.interfaceName, v6, lookup.confirming}];
    const auto now = Clock::now();
    if (known.read == Clock::time_point{} || now - known.read > kSettingsLifetime) {
        const char* settings = v6 ? kIpv6NeighbourSettings : kIpv4NeighbourSettings;
        known.wait = lookup.confirming ? NeighbourConfirmTime(lookup.interfaceName, settings)
                                       : NeighbourGiveUpTime(lookup.interfaceName, settings);
        known.read = now;
    }
    return known.wait;
}

}  // namespace varnock::linux_backend
