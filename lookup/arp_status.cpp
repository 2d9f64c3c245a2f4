#include "lookup/arp_status.h"

namespace varnock {

std::string_view DescribeArpStatus(std::uint32_t status) {
    switch (status) {
        case arp_status::kOk:
            return "answered";
        case arp_status::kNotSupported:
            return "not supported on this system";
        case arp_status::kLinkWithoutArp:
            return "the link does not use ARP";
        case arp_status::kInvalidParameter:
            return "invalid request";
        case arp_status::kNoAnswer:
            return "no answer";
        case arp_status::kNotUnicast:
            return "broadcast or multicast address";
        case arp_status::kBufferTooSmall:
            return "hardware address too long";
        case arp_status::kNoRoute:
            return "no route to the network";
        case arp_status::kNotOnLink:
            return "not on a directly attached network";
        case arp_status::kBlockedByFirewall:
            return "blocked by a firewall rule on this machine";
        case arp_status::kNeighbourTableFull:
            return "the neighbour table is full";
        case arp_status::kNotCached:
            return "not in the neighbour table";
        case arp_status::kWrongInterface:
            return "not reachable through that interface";
        case arp_status::kNeedsInterface:
            return "a link-local address needs its interface";
        case arp_status::kInterfaceDown:
            return "the interface is down or has no carrier";
        case arp_status::kNotConfirmed:
            return "not confirmed in time";
        case arp_status::kSystemError:
            return "the system could not be asked";
        case arp_status::kInterfaceWouldNotSend:
            return "the interface would not send";
        default:
            return "lookup failed";
    }
}

}  // namespace varnock
