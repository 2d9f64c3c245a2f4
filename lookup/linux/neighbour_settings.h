#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace varnock::linux_backend {

// How long the kernel tries to resolve a new neighbour on `interfaceName`
// before it marks the entry FAILED: (mcast_solicit + app_solicit) probes,
// retrans_time_ms apart, as set under `settingsRoot`/<interface>/.
std::chrono::milliseconds NeighbourGiveUpTime(
    const std::string& interfaceName,
    const std::filesystem::path& settingsRoot = "/proc/sys/net/ipv4/neigh");

}  // namespace varnock::linux_backend
