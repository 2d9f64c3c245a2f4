#pragma once

// What an observer of the neighbour table is told, from what the kernel
// says on the engine's subscription: the entries of the observed interfaces
// that resolve neighbours, as NeighbourEntry values.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/neighbour_observer.h"

namespace varnock::linux_backend {

class TableObservation {
public:
    // Whether an interface resolves neighbours by ARP or neighbour
    // discovery; false when it has gone.
    using ResolvesAsk = std::function<bool(std::uint32_t interfaceIndex)>;

    // `interfaceIndex` 0: every interface that resolves neighbours.
    TableObservation(NeighbourObserver& observer, std::uint32_t interfaceIndex,
                     ResolvesAsk resolves);

    // The entries of `table` (the whole neighbour table) that are observed.
    std::vector<NeighbourEntry> Observed(const std::vector<rtnl::Neighbour>& table);

    // Tells the observer of one entry the kernel changed, when it is observed.
    void Changed(const rtnl::Neighbour& neighbour);

    // Tells the observer that changes were lost, with `table` read after the
    // loss. Interfaces are asked again too: their changes may be among the
    // lost.
    void Lost(const std::vector<rtnl::Neighbour>& table);

    // An interface came, changed or went: it is asked again when next heard
    // of (the kernel reuses the index of an interface that went).
    void LinkChanged(std::uint32_t interfaceIndex) { resolves_.erase(interfaceIndex); }

    // Whether the observer asked, after what it was told since the last
    // call, to end the engine's run.
    bool TakeStop() { return std::exchange(stop_, false); }

    NeighbourObserver& Observer() { return observer_; }

private:
    std::optional<NeighbourEntry> EntryOf(const rtnl::Neighbour& neighbour);

    NeighbourObserver& observer_;
    std::uint32_t interfaceIndex_;
    ResolvesAsk ask_;
    std::map<std::uint32_t, bool> resolves_;  // the interfaces that exist, asked once
    bool stop_ = false;
};

}  // namespace varnock::linux_backend
