#include "lookup/linux/route_step.h"

#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/kernel_timing.h"
#include "lookup/linux/lookup_book.h"
#include "lookup/linux/table_answers.h"

namespace varnock::linux_backend {
namespace {

using Clock = std::chrono::steady_clock;

// One of our own addresses: its hardware address is that of the interface
// that carries it (all zeros for the loopback interface).
NeighbourAnswer AnswerForOwnAddress(RouteQuestions& kernel, const IpAddress& destination,
                                    const rtnl::Route& route) {
    std::uint32_t owner = route.outputInterface;
    for (const auto& entry : kernel.Addresses(destination.family)) {
        if (entry.local.SameAddress(destination)) {
            owner = entry.interfaceIndex;
            break;
        }
    }
    auto hardware = kernel.HardwareAddress(owner);
    if (!hardware) {
        return Refused(arp_status::kNoRoute, owner);
    }
    if (hardware->empty()) {
        return Refused(arp_status::kLinkWithoutArp, owner);
    }
    return Answered(std::move(*hardware), owner);
}

}  // namespace

std::optional<rtnl::Route> KernelRouteQuestions::Route(const IpAddress& destination,
                                                       Ipv4Address source, const Flow& flow) {
    requests_.SetDeadline(Clock::now() + kKernelAnswer);
    return QueryRoute(requests_, destination, source, flow.boundInterface, flow.mark);
}

const std::vector<rtnl::InterfaceAddress>& KernelRouteQuestions::Addresses(
    IpAddress::Family family) {
    auto& known = addresses_[family];
    const auto now = Clock::now();
    if (known.read == Clock::time_point{} || now - known.read > kSettingsLifetime) {
        requests_.SetDeadline(now + kKernelAnswer);
        known.addresses = QueryAddresses(requests_, family);
        known.read = now;
    }
    return known.addresses;
}

std::optional<InterfaceFacts> KernelRouteQuestions::Interface(std::uint32_t index) {
    if (!toldOfLinks_) {
        return AskInterface(requests_.Fd(), index);
    }
    auto known = interfaces_.find(index);
    if (known == interfaces_.end()) {
        known = interfaces_.emplace(index, AskInterface(requests_.Fd(), index)).first;
    }
    return known->second;
}

std::optional<std::vector<std::uint8_t>> KernelRouteQuestions::HardwareAddress(
    std::uint32_t index) {
    requests_.SetDeadline(Clock::now() + kKernelAnswer);
    auto link = QueryLink(requests_, index);
    if (!link) {
        return std::nullopt;
    }
    return std::move(link->hardwareAddress);
}

RouteStep TakeRouteStep(RouteQuestions& kernel, const NeighbourQuery& query, const Flow& flow) {
    const IpAddress& destination = query.address;
    RouteStep step;
    if (const auto refusal = RefusalBeforeAsking(destination, query.interfaceIndex)) {
        step.answer = Refused(*refusal);
        return step;
    }
    if (query.interfaceIndex != 0 && !destination.IsLinkLocal() &&
        !IsAttachedTo(kernel.Addresses(destination.family), query.interfaceIndex, destination)) {
        step.answer = Refused(arp_status::kWrongInterface, query.interfaceIndex);
        return step;
    }
    // Asked for the flow the lookup really takes: with two interfaces on one
    // network only that flow's interface counts.
    const std::uint32_t chosen =
        query.interfaceIndex != 0 ? query.interfaceIndex : destination.scope;
    const auto route = kernel.Route(destination, query.source,
                                    {chosen != 0 ? chosen : flow.boundInterface, flow.mark});
    if (const auto verdict = JudgeRoute(route); verdict.refusal) {
        step.answer = Refused(*verdict.refusal);
        return step;
    } else if (verdict.ownAddress) {
        step.answer = AnswerForOwnAddress(kernel, destination, *route);
        step.ownAddress = true;
        return step;
    }
    const std::uint32_t out = route->outputInterface;
    if (chosen != 0 && out != chosen) {
        step.answer = Refused(arp_status::kWrongInterface, chosen);
        return step;
    }
    const auto link = kernel.Interface(out);
    if (!link) {
        step.answer = Refused(arp_status::kNoRoute);
    } else if (!link->usesArp) {
        step.answer = Refused(arp_status::kLinkWithoutArp, out);
    } else if (!link->canSend) {
        step.answer = Refused(arp_status::kInterfaceDown, out);
    } else {
        step.interfaceIndex = out;
        step.interfaceName = link->name;
    }
    return step;
}

}  // namespace varnock::linux_backend
