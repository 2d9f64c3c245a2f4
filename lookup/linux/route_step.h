#pragma once

// The route-and-interface step every Linux lookup takes before it asks for
// a neighbour, whatever the method (the kernel's or raw) and the mode (live
// or cached): one step, so that they refuse for the same reasons.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lookup/ip_address.h"
#include "lookup/linux/interface_facts.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"
#include "lookup/linux/socket_flow.h"
#include "lookup/neighbour_engine.h"

namespace varnock::linux_backend {

// What the step asks of the kernel. The real questions go over rtnetlink and
// the interface ioctls; tests script them. Each may throw std::system_error
// when the kernel cannot be asked.
class RouteQuestions {
public:
    virtual ~RouteQuestions() = default;
    // How the kernel sends to `destination` from `source` (IPv4; 0: any) on
    // `flow`; nothing when there is no route.
    virtual std::optional<rtnl::Route> Route(const IpAddress& destination, Ipv4Address source,
                                             const Flow& flow) = 0;
    // Every address of `family` on the machine's interfaces, as read lately.
    virtual const std::vector<rtnl::InterfaceAddress>& Addresses(IpAddress::Family family) = 0;
    // Nothing when the interface has gone.
    virtual std::optional<InterfaceFacts> Interface(std::uint32_t index) = 0;
    virtual std::optional<std::vector<std::uint8_t>> HardwareAddress(std::uint32_t index) = 0;

    // The kernel said an interface came, changed (up, down, carrier, flags)
    // or went; or link notifications were lost. Only for what keeps
    // interfaces' facts.
    virtual void LinkChanged(std::uint32_t /*index*/) {}
    virtual void LinksUnknown() {}
};

// Asks the kernel on the engine's request socket, each question within
// kKernelAnswer; the addresses are read again after kSettingsLifetime.
class KernelRouteQuestions final : public RouteQuestions {
public:
    // `toldOfLinks`: the caller hears the kernel's link notifications and
    // passes them on (LinkChanged, LinksUnknown), so that an interface's
    // facts are asked once, not for every lookup.
    explicit KernelRouteQuestions(NetlinkSocket& requests, bool toldOfLinks = false)
        : requests_(requests), toldOfLinks_(toldOfLinks) {}

    void LinkChanged(std::uint32_t index) override { interfaces_.erase(index); }
    void LinksUnknown() override { interfaces_.clear(); }

    std::optional<rtnl::Route> Route(const IpAddress& destination, Ipv4Address source,
                                     const Flow& flow) override;
    const std::vector<rtnl::InterfaceAddress>& Addresses(IpAddress::Family family) override;
    std::optional<InterfaceFacts> Interface(std::uint32_t index) override;
    std::optional<std::vector<std::uint8_t>> HardwareAddress(std::uint32_t index) override;

private:
    NetlinkSocket& requests_;
    bool toldOfLinks_;
    std::map<std::uint32_t, std::optional<InterfaceFacts>> interfaces_;
    struct KnownAddresses {
        std::chrono::steady_clock::time_point read;
        std::vector<rtnl::InterfaceAddress> addresses;
    };
    std::map<IpAddress::Family, KnownAddresses> addresses_;
};

// The same on a request socket of its own.
class OwnKernelRouteQuestions final : public RouteQuestions {
public:
    // Throws std::system_error when the kernel cannot be asked at all.
    explicit OwnKernelRouteQuestions(bool toldOfLinks = false)
        : requests_(NetlinkSocket::Mode::kRequests), questions_(requests_, toldOfLinks) {}

    std::optional<rtnl::Route> Route(const IpAddress& destination, Ipv4Address source,
                                     const Flow& flow) override {
        return questions_.Route(destination, source, flow);
    }
    const std::vector<rtnl::InterfaceAddress>& Addresses(IpAddress::Family family) override {
        return questions_.Addresses(family);
    }
    std::optional<InterfaceFacts> Interface(std::uint32_t index) override {
        return questions_.Interface(index);
    }
    std::optional<std::vector<std::uint8_t>> HardwareAddress(std::uint32_t index) override {
        return questions_.HardwareAddress(index);
    }
    void LinkChanged(std::uint32_t index) override { questions_.LinkChanged(index); }
    void LinksUnknown() override { questions_.LinksUnknown(); }

private:
    NetlinkSocket requests_;
    KernelRouteQuestions questions_;
};

// Where a lookup goes, or what decided it before anything was sent.
struct RouteStep {
    // Decided: a refusal, or the answer for one of this machine's own
    // addresses (`ownAddress`).
    std::optional<NeighbourAnswer> answer;
    bool ownAddress = false;
    // Otherwise the outgoing interface, which resolves neighbours and can
    // send.
    std::uint32_t interfaceIndex = 0;
    std::string interfaceName;
};

// The route to `query`'s address for `flow` must lead straight to an
// attached unicast destination, through the chosen interface when there is
// one (which must hold the destination's network: the kernel would take any
// address as on-link there), and that interface must resolve neighbours and
// be able to send.
RouteStep TakeRouteStep(RouteQuestions& kernel, const NeighbourQuery& query, const Flow& flow);

}  // namespace varnock::linux_backend
