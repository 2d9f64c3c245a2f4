#include "lookup/linux/interface_facts.h"

#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>

namespace varnock::linux_backend {

std::optional<InterfaceFacts> AskInterface(int socketFd, std::uint32_t index) {
    ifreq request{};
    request.ifr_ifindex = static_cast<int>(index);
    if (::ioctl(socketFd, SIOCGIFNAME, &request) < 0) {
        return std::nullopt;
    }
    InterfaceFacts facts;
    facts.name = request.ifr_name;
    if (::ioctl(socketFd, SIOCGIFFLAGS, &request) < 0) {
        return std::nullopt;
    }
    const bool noArp = (request.ifr_flags & IFF_NOARP) != 0;
    // IFF_RUNNING is the operational state: up with a carrier.
    facts.canSend = (request.ifr_flags & IFF_UP) != 0 && (request.ifr_flags & IFF_RUNNING) != 0;
    if (::ioctl(socketFd, SIOCGIFHWADDR, &request) < 0) {
        return std::nullopt;
    }
    // The hardware types whose addresses are six bytes long.
    const auto type = request.ifr_hwaddr.sa_family;
    facts.usesArp = !noArp && (type == ARPHRD_ETHER || type == ARPHRD_IEEE802);
    return facts;
}

}  // namespace varnock::linux_backend
