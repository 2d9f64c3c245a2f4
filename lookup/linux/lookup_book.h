#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "lookup/neighbour_answers.h"
#include "lookup/neighbour_engine.h"

namespace varnock::linux_backend {

// What an engine keeps of its lookups: each by ticket, the tickets waiting
// for each neighbour, and the answers final but not yet delivered. `Lookup`
// has at least `query`, `finished`, `answer` (an optional NeighbourAnswer)
// and `interfaceIndex`, which with the query's address says what neighbour
// it waits for.
template <typename Lookup>
class LookupBook {
protected:
    // Which neighbour a lookup waits for: the interface and the address.
    using NeighbourKey = std::tuple<std::uint32_t, IpAddress::Family, std::array<std::uint8_t, 16>>;

    static NeighbourKey KeyOf(const Lookup& lookup) {
        const auto& address = lookup.query.address;
        return {lookup.interfaceIndex, address.family, address.bytes};
    }

    NeighbourEngine::Ticket Open(const NeighbourQuery& query, NeighbourEngine::Finished finished) {
        const NeighbourEngine::Ticket ticket = ++lastTicket_;
        Lookup& lookup = lookups_[ticket];
        lookup.query = query;
        lookup.finished = std::move(finished);
        return ticket;
    }

    // From now on the lookup waits for its neighbour.
    void Wait(NeighbourEngine::Ticket ticket, const Lookup& lookup) {
        waiters_[KeyOf(lookup)].push_back(ticket);
    }

    // The lookup in flight, not yet answered; nothing once it is.
    Lookup* Unanswered(NeighbourEngine::Ticket ticket) {
        const auto found = lookups_.find(ticket);
        return found == lookups_.end() || found->second.answer ? nullptr : &found->second;
    }

    // Forgets the lookup: nothing of it is delivered.
    void Forget(NeighbourEngine::Ticket ticket) {
        const auto found = lookups_.find(ticket);
        if (found != lookups_.end()) {
            StopWaiting(ticket, found->second);
            lookups_.erase(found);
        }
    }

    // The lookup's final answer, delivered by DeliverAnswers; only the first
    // counts.
    void Finish(NeighbourEngine::Ticket ticket, NeighbourAnswer answer) {
        Lookup* lookup = Unanswered(ticket);
        if (lookup == nullptr) {
            return;
        }
        StopWaiting(ticket, *lookup);
        lookup->answer = std::move(answer);
        answered_.push_back(ticket);
    }

    void DeliverAnswers() {
        while (!answered_.empty()) {
            const NeighbourEngine::Ticket ticket = answered_.front();
            answered_.pop_front();
            const auto found = lookups_.find(ticket);
            if (found == lookups_.end() || !found->second.answer) {
                continue;  // cancelled
            }
            NeighbourEngine::Finished finished = std::move(found->second.finished);
            NeighbourAnswer answer = std::move(*found->second.answer);
            lookups_.erase(found);
            // Whoever hears the answer may submit or cancel lookups.
            finished(ticket, std::move(answer));
        }
    }

    std::map<NeighbourEngine::Ticket, Lookup> lookups_;
    std::map<NeighbourKey, std::vector<NeighbourEngine::Ticket>> waiters_;
    std::deque<NeighbourEngine::Ticket> answered_;

private:
    void StopWaiting(NeighbourEngine::Ticket ticket, const Lookup& lookup) {
        const auto found = waiters_.find(KeyOf(lookup));
        if (found == waiters_.end()) {
            return;
        }
        std::erase(found->second, ticket);
        if (found->second.empty()) {
            waiters_.erase(found);
        }
    }

    NeighbourEngine::Ticket lastTicket_ = 0;
};

}  // namespace varnock::linux_backend
