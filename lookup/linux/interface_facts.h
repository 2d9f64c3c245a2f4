#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnock::linux_backend {

// What the lookup must know of the outgoing interface before it makes the
// kernel send anything there.
struct InterfaceFacts {
    std::string name;
    // Resolves neighbours by ARP and has a 6-byte hardware address.
    bool usesArp = false;
    // Up, and with a carrier: anything sent can leave.
    bool canSend = false;
};

// Asks with the interface ioctls, on any socket the caller has open: three
// small answers instead of the kernel's whole link message, on the path
// every lookup takes. Nothing when the interface has gone.
std::optional<InterfaceFacts> AskInterface(int socketFd, std::uint32_t index);

}  // namespace varnock::linux_backend
