#pragma once

// The questions the lookup asks the kernel over a request socket.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "lookup/ip_address.h"
#include "lookup/linux/netlink_socket.h"
#include "lookup/linux/rtnetlink_messages.h"

namespace varnock::linux_backend {

// How the kernel sends to `destination` a datagram from `source` (IPv4; 0:
// any) on a socket bound to `boundInterface` (0: none) and carrying `mark`
// (0: none); nothing when there is no route.
std::optional<rtnl::Route> QueryRoute(NetlinkSocket& kernel, const IpAddress& destination,
                                      Ipv4Address source = 0, std::uint32_t boundInterface = 0,
                                      std::uint32_t mark = 0);

std::optional<rtnl::Link> QueryLink(NetlinkSocket& kernel, std::uint32_t index);

// What the neighbour table holds for the destination; nothing when it holds
// no entry (ENOENT) or the interface has gone. Throws std::system_error on a
// kernel too old to be asked for one entry (before Linux 4.20).
std::optional<rtnl::Neighbour> QueryNeighbour(NetlinkSocket& kernel, const IpAddress& destination,
                                              std::uint32_t interfaceIndex);

// Sends the dump that `build` makes and hands every message of the reply to
// `take`. A dump that a change of the table interrupted is asked again, a
// few times, with `restart` called before each new try; when no whole dump
// can be had, throws std::system_error naming `what`: a part of one is
// never used as if it were all.
void DumpWhole(NetlinkSocket& kernel, const std::function<nlmsghdr*(rtnl::RequestBuffer&)>& build,
               const std::function<void()>& restart,
               const std::function<void(const nlmsghdr&)>& take, const char* what);
// The same over any exchange that answers as NetlinkSocket::Exchange does
// (0, EINTR for an interrupted dump, or another error).
using DumpExchange =
    std::function<int(nlmsghdr* request, const std::function<void(const nlmsghdr&)>& take)>;
void DumpWhole(const DumpExchange& exchange,
               const std::function<nlmsghdr*(rtnl::RequestBuffer&)>& build,
               const std::function<void()>& restart,
               const std::function<void(const nlmsghdr&)>& take, const char* what);

// Every address of `family` on the machine's interfaces. Throws
// std::system_error when the kernel cannot give them whole.
std::vector<rtnl::InterfaceAddress> QueryAddresses(NetlinkSocket& kernel, IpAddress::Family family);

// Every entry of this namespace's neighbour tables, whole or a throw.
std::vector<rtnl::Neighbour> QueryNeighbours(NetlinkSocket& kernel);

// The interface that holds `address` as one of its own, if any does.
std::optional<std::uint32_t> FindInterfaceOwning(NetlinkSocket& kernel, const IpAddress& address);

// Whether `destination` lies in a network attached to `interfaceIndex` (one
// of its own addresses' prefixes).
bool IsAttachedTo(const std::vector<rtnl::InterfaceAddress>& addresses,
                  std::uint32_t interfaceIndex, const IpAddress& destination);

}  // namespace varnock::linux_backend
