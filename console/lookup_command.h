#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

#include "lookup/arp_request.h"

namespace varnock::console {

// Exit statuses of varnock-cli.
inline constexpr int kExitAnswered = 0;
inline constexpr int kExitNoAnswer = 1;
inline constexpr int kExitUsage = 2;

// Runs `varnock-cli ADDRESS` with `arguments` (without the program name):
// prints the hardware address text on `out` and returns kExitAnswered, or a
// one-line reason on `err` and kExitNoAnswer, or the usage on `err` and
// kExitUsage. Exceptions from `request` propagate.
int RunLookupCommand(std::span<const std::string_view> arguments, std::ostream& out,
                     std::ostream& err, ArpRequest& request);

}  // namespace varnock::console
