#include "lookup/linux/raw_neighbour_engine.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>
#include <system_error>
#include <utility>

#include "lookup/linux/interface_facts.h"
#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/kernel_timing.h"
#include "lookup/linux/route_step.h"
#include "lookup/linux/table_answers.h"

namespace varnock::linux_backend {
namespace {

using Clock = NeighbourEngine::Clock;

// A send the kernel had no buffer for is tried again after this.
constexpr std::chrono::milliseconds kBufferRetry{1};

// What a failed send says; nothing when it is worth trying again shortly
// (the device queue was full, which may pass).
std::optional<NeighbourAnswer> RefusalOfSend(int error, std::uint32_t interfaceIndex) {
    switch (error) {
        case ENOBUFS:
        case EAGAIN:
            return std::nullopt;
        case ENETDOWN:
            return Refused(arp_status::kInterfaceDown, interfaceIndex);
        case ENXIO:
        case ENODEV:
            return Refused(arp_status::kNoRoute, interfaceIndex);
        case EPERM:
        case EACCES:
            return Refused(arp_status::kBlockedByFirewall, interfaceIndex);
        case ENETUNREACH:
        case EHOSTUNREACH:
            return Refused(arp_status::kNoRoute, interfaceIndex);
        default:
            return CouldNotAsk(std::string("sending failed: ") + std::strerror(error),
                               interfaceIndex);
    }
}

// An address none of whose requests went out: the interface's reason.
NeighbourAnswer WouldNotSend(int error, std::uint32_t interfaceIndex) {
    NeighbourAnswer answer = Refused(arp_status::kInterfaceWouldNotSend, interfaceIndex);
    answer.systemError = std::strerror(error);
    return answer;
}

packets::Ipv6Bytes V6Bytes(const IpAddress& address) {
    packets::Ipv6Bytes bytes{};
    std::copy(address.bytes.begin(), address.bytes.end(), bytes.begin());
    return bytes;
}

}  // namespace

RawNeighbourEngine::RawNeighbourEngine(std::unique_ptr<RawNeighbourSockets> sockets,
                                       const RawMethodSettings& settings)
    : RawNeighbourEngine(std::move(sockets), settings,
                         std::make_unique<OwnKernelRouteQuestions>()) {}

RawNeighbourEngine::RawNeighbourEngine(std::unique_ptr<RawNeighbourSockets> sockets,
                                       const RawMethodSettings& settings,
                                       std::unique_ptr<RouteQuestions> routes)
    : sockets_(std::move(sockets)),
      routes_(std::move(routes)),
      flows_{{IpAddress::Family::kV4, ProcessFlow(IpAddress::Family::kV4)},
             {IpAddress::Family::kV6, ProcessFlow(IpAddress::Family::kV6)}},
      settings_(settings),
      pacer_(settings.packetsPerSecond) {
    settings_.tries = std::max(settings_.tries, 1U);
}

NeighbourEngine::Ticket RawNeighbourEngine::Submit(const NeighbourQuery& query, Finished finished) {
    const Ticket ticket = Open(query, std::move(finished));
    if (const auto refusal = RefusalBeforeAsking(query.address, query.interfaceIndex)) {
        Finish(ticket, Refused(*refusal));
    } else {
        // The route is asked when the request is due, not here: a sweep
        // submits thousands at once and must not wait for all their routes
        // before the first request goes out.
        firstTries_.push_back(ticket);
    }
    return ticket;
}

void RawNeighbourEngine::Cancel(Ticket ticket) {
    Forget(ticket);  // the queues skip what is gone
}

std::optional<NeighbourAnswer> RawNeighbourEngine::Prepare(Ticket ticket, Lookup& lookup) {
    const NeighbourQuery& query = lookup.query;
    const IpAddress& destination = query.address;
    if (destination.IsV6() && !sockets_->HasNeighbourDiscovery()) {
        return CouldNotAsk("the system has no IPv6 neighbour discovery");
    }
    auto step = TakeRouteStep(*routes_, query, flows_.at(destination.family));
    if (step.answer) {
        return std::move(step.answer);
    }
    lookup.interfaceIndex = step.interfaceIndex;
    const auto hardware = OwnHardware(lookup.interfaceIndex);
    if (!hardware) {
        return Refused(arp_status::kLinkWithoutArp, lookup.interfaceIndex);
    }
    lookup.ownHardware = *hardware;
    if (!destination.IsV6()) {
        lookup.source = SourceFor(lookup);
    }
    lookup.routed = true;
    Wait(ticket, lookup);
    return std::nullopt;
}

Ipv4Address RawNeighbourEngine::SourceFor(const Lookup& lookup) {
    if (lookup.query.source != 0) {
        return lookup.query.source;
    }
    // The interface's address on the destination's network, as the kernel
    // would ask from; else any of its addresses; else none (0.0.0.0, which
    // hosts answer too).
    Ipv4Address any = 0;
    for (const auto& entry : routes_->Addresses(IpAddress::Family::kV4)) {
        if (entry.interfaceIndex != lookup.interfaceIndex) {
            continue;
        }
        if (IsAttachedTo({entry}, lookup.interfaceIndex, lookup.query.address)) {
            return entry.local.V4Value();
        }
        if (any == 0) {
            any = entry.local.V4Value();
        }
    }
    return any;
}

std::optional<NeighbourAnswer> RawNeighbourEngine::SendTry(Lookup& lookup, Clock::time_point now) {
    if (!lookup.unsent) {
        // A new try: its wait, and the query's cap, count from its first
        // send, whether the interface takes it or not.
        ++lookup.tries;
        lookup.unsent = true;
        if (!lookup.deadline && lookup.query.maxWait) {
            lookup.deadline = now + *lookup.query.maxWait;
        }
        lookup.tryEnd = now + ReplyWait(settings_.firstReplyWait, lookup.tries);
        if (lookup.deadline) {
            lookup.tryEnd = std::min(lookup.tryEnd, *lookup.deadline);
        }
    }
    const IpAddress& destination = lookup.query.address;
    const int error =
        destination.IsV6()
            ? sockets_->SendSolicitation(lookup.interfaceIndex, V6Bytes(destination),
                                         lookup.ownHardware)
            : sockets_->SendArpRequest(lookup.interfaceIndex,
                                       packets::BuildArpRequest(lookup.ownHardware, lookup.source,
                                                                destination.V4Value()));
    if (error != 0) {
        if (auto refused = RefusalOfSend(error, lookup.interfaceIndex)) {
            return refused;
        }
        // Not sent: the same try goes again shortly, while its wait lasts.
        lookup.lastRefusal = error;
        lookup.waitEnd = std::min(now + kBufferRetry, lookup.tryEnd);
        return std::nullopt;
    }
    lookup.unsent = false;
    ++lookup.sent;
    lookup.waitEnd = lookup.tryEnd;
    return std::nullopt;
}

void RawNeighbourEngine::SendDue(Clock::time_point now) {
    // Retries first: they wait on a schedule, first tries only on the pace.
    for (auto* queue : {&retries_, &firstTries_}) {
        while (!queue->empty()) {
            const Ticket ticket = queue->front();
            const auto found = lookups_.find(ticket);
            if (found == lookups_.end() || found->second.answer) {
                queue->pop_front();
                continue;
            }
            Lookup& lookup = found->second;
            if (!lookup.routed) {
                std::optional<NeighbourAnswer> decided;
                try {
                    decided = Prepare(ticket, lookup);
                } catch (const std::exception& failure) {
                    decided = CouldNotAsk(failure.what());
                }
                if (decided) {
                    queue->pop_front();
                    Finish(ticket, std::move(*decided));
                    continue;
                }
            }
            if (!pacer_.Take(now)) {
                return;
            }
            queue->pop_front();
            if (auto refused = SendTry(lookup, now)) {
                Finish(ticket, std::move(*refused));
                continue;
            }
            waits_.emplace(lookup.waitEnd, ticket);
        }
    }
}

void RawNeighbourEngine::Expire(Clock::time_point now) {
    while (!waits_.empty() && waits_.begin()->first <= now) {
        const auto [due, ticket] = *waits_.begin();
        waits_.erase(waits_.begin());
        const auto found = lookups_.find(ticket);
        // A wait of a try that is no longer the lookup's own is stale.
        if (found == lookups_.end() || found->second.answer || found->second.waitEnd != due) {
            continue;
        }
        Lookup& lookup = found->second;
        lookup.waitEnd = {};
        if (lookup.unsent && now < lookup.tryEnd) {
            retries_.push_back(ticket);  // the same try, not sent yet
            continue;
        }
        lookup.unsent = false;  // a try that never went out is spent all the same
        const bool timeLeft = !lookup.deadline || now < *lookup.deadline;
        if (lookup.tries < settings_.tries && timeLeft) {
            retries_.push_back(ticket);
        } else {
            Finish(ticket, GivenUp(lookup));
        }
    }
}

NeighbourAnswer RawNeighbourEngine::GivenUp(const Lookup& lookup) const {
    // A request that went out and was not answered is "no answer", even
    // when later ones could not be sent.
    if (lookup.sent == 0 && lookup.lastRefusal != 0) {
        return WouldNotSend(lookup.lastRefusal, lookup.interfaceIndex);
    }
    return Refused(arp_status::kNoAnswer, lookup.interfaceIndex);
}

void RawNeighbourEngine::ReadReplies() {
    while (const auto received = sockets_->ReceiveArpReply()) {
        IpAddress sender = IpAddress::V4(received->reply.senderIp);
        Heard({received->interfaceIndex, sender.family, sender.bytes},
              received->reply.senderHardware);
    }
    if (!sockets_->HasNeighbourDiscovery()) {
        return;
    }
    while (const auto received = sockets_->ReceiveAdvertisement()) {
        // A router or a host elsewhere cannot send with 255 hops left.
        if (received->hopLimit != 255) {
            continue;
        }
        std::array<std::uint8_t, 16> target{};
        std::copy(received->advertisement.target.begin(), received->advertisement.target.end(),
                  target.begin());
        Heard({received->interfaceIndex, IpAddress::Family::kV6, target},
              received->advertisement.targetHardware);
    }
}

void RawNeighbourEngine::Heard(const NeighbourKey& key, const packets::HardwareAddress& hardware) {
    const auto found = waiters_.find(key);
    if (found == waiters_.end()) {
        return;  // not asked, or not on that interface
    }
    const std::vector<Ticket> tickets = found->second;
    const auto& [interfaceIndex, family, bytes] = key;
    const IpAddress address{family, bytes, 0};
    // Proxy ARP only: an IPv6 host holds several addresses by design (its
    // link-local one and others), and a dual-stack host answers for both
    // families with one hardware address.
    std::optional<IpAddress> earlier;
    if (family == IpAddress::Family::kV4) {
        const auto [first, isNew] = answeredFor_.try_emplace({interfaceIndex, hardware}, address);
        if (!isNew && !first->second.SameAddress(address)) {
            earlier = first->second;
        }
    }
    for (const Ticket ticket : tickets) {
        NeighbourAnswer answer;
        answer.status = arp_status::kOk;
        answer.hardwareAddress.assign(hardware.begin(), hardware.end());
        answer.interfaceIndex = interfaceIndex;
        answer.alsoAnswersFor = earlier;
        Finish(ticket, std::move(answer));
    }
}

void RawNeighbourEngine::Run(Clock::time_point until) {
    for (;;) {
        DeliverAnswers();
        if (lookups_.empty()) {
            return;
        }
        ReadReplies();
        const auto now = Clock::now();
        Expire(now);
        SendDue(now);
        if (!answered_.empty()) {
            continue;
        }
        if (now >= until) {
            return;
        }
        auto wake = until;
        if (!waits_.empty()) {
            wake = std::min(wake, waits_.begin()->first);
        }
        if (!retries_.empty() || !firstTries_.empty()) {
            wake = std::min(wake, pacer_.NextSlot());
        }
        std::array<pollfd, 2> watched{{{sockets_->ArpFd(), POLLIN, 0}, {-1, POLLIN, 0}}};
        if (sockets_->HasNeighbourDiscovery()) {
            watched[1].fd = sockets_->NeighbourDiscoveryFd();
        }
        // Nanoseconds, not poll's milliseconds: the pace is finer than that.
        const auto remaining = std::clamp<Clock::duration>(wake - Clock::now(), Clock::duration{0},
                                                           std::chrono::seconds(60));
        const auto seconds = std::chrono::floor<std::chrono::seconds>(remaining);
        const timespec timeout{
            static_cast<std::time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(remaining - seconds).count())};
        if (::ppoll(watched.data(), watched.size(), &timeout, nullptr) < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "poll");
        }
    }
}

std::optional<packets::HardwareAddress> RawNeighbourEngine::OwnHardware(std::uint32_t index) {
    auto& known = hardware_[index];
    const auto now = Clock::now();
    if (known.read == Clock::time_point{} || now - known.read > kSettingsLifetime) {
        known = {now, std::nullopt};
        const auto link = routes_->HardwareAddress(index);
        if (link && link->size() == packets::HardwareAddress{}.size()) {
            known.hardware.emplace();
            std::copy(link->begin(), link->end(), known.hardware->begin());
        }
    }
    return known.hardware;
}

}  // namespace varnock::linux_backend
