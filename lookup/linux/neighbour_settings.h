#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace varnock::linux_backend {

// Where the kernel keeps one family's per-interface neighbour settings.
inline constexpr const char* kIpv4NeighbourSettings = "/proc/sys/net/ipv4/neigh";
inline constexpr const char* kIpv6NeighbourSettings = "/proc/sys/net/ipv6/neigh";

// No wait read from the settings is longer than this: an administrator's
// value may be huge, and the lookup must still end.
inline constexpr std::chrono::milliseconds kLongestNeighbourWait{60'000};

// How long the kernel tries to resolve a new neighbour on `interfaceName`
// before it marks the entry FAILED: (mcast_solicit + app_solicit) probes,
// retrans_time_ms apart, as set under `settingsRoot`/<interface>/. At most
// kLongestNeighbourWait.
std::chrono::milliseconds NeighbourGiveUpTime(
    const std::string& interfaceName,
    const std::filesystem::path& settingsRoot = "/proc/sys/net/ipv4/neigh");

// How long the kernel takes to confirm or drop an entry it holds but has not
// heard from lately, once something is sent to it: delay_first_probe_time,
// then (ucast_solicit + app_solicit + mcast_resolicit) probes retrans_time_ms
// apart. At most kLongestNeighbourWait.
std::chrono::milliseconds NeighbourConfirmTime(
    const std::string& interfaceName,
    const std::filesystem::path& settingsRoot = "/proc/sys/net/ipv4/neigh");

}  // namespace varnock::linux_backend
