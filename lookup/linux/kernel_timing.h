#pragma once

// How long the engines give the kernel, shared by both Linux methods.

#include <chrono>

namespace varnock::linux_backend {

// The kernel answers a request within the send; this only bounds a kernel
// that does not.
inline constexpr std::chrono::seconds kKernelAnswer{2};
// A whole reading of a table may take longer than one entry.
inline constexpr std::chrono::seconds kTableDeadline{5};
// Interface addresses and neighbour settings are read again after this.
inline constexpr std::chrono::seconds kSettingsLifetime{10};

}  // namespace varnock::linux_backend
