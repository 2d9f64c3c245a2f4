// The Linux side of lookup/raw_method.h.

#include "lookup/raw_method.h"

#include <cerrno>
#include <system_error>

#include "lookup/linux/capabilities.h"
#include "lookup/linux/raw_neighbour_engine.h"
#include "lookup/linux/raw_neighbour_sockets.h"

namespace varnock {

bool RawMethodExists() {
    return true;
}

std::unique_ptr<NeighbourEngine> OpenRawNeighbourEngine(const RawMethodSettings& settings) {
    if (!linux_backend::RaiseNetRaw()) {
        return nullptr;
    }
    std::optional<linux_backend::ArpSocket> arp;
    try {
        arp.emplace();
    } catch (const std::system_error& failure) {
        // Effective, and still refused: a security module or a user
        // namespace that does not own the network namespace.
        if (failure.code().value() == EPERM || failure.code().value() == EACCES) {
            return nullptr;
        }
        throw;
    }
    std::optional<linux_backend::NeighbourDiscoverySocket> neighbourDiscovery;
    try {
        neighbourDiscovery.emplace();
    } catch (const std::system_error& failure) {
        if (failure.code().value() != EAFNOSUPPORT) {
            throw;
        }
    }
    return std::make_unique<linux_backend::RawNeighbourEngine>(
        linux_backend::SystemRawSockets(std::move(*arp), std::move(neighbourDiscovery)), settings);
}

void DropPrivileges() {
    linux_backend::DropAllCapabilities();
}

}  // namespace varnock
