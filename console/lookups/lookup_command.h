#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "console/command/command_system.h"
#include "console/command/exit_status.h"

namespace varnock::console {

// Runs `varnock-cli [OPTION]... TARGET...` with `arguments` (without the
// program name): one line (or JSON object) per address on `out`, in the
// order given, and returns kExitAnswered or kExitNoAnswer; or, when the
// command line is wrong, one line on `err` naming the mistake and
// kExitUsage, before anything is asked. --help and --version write to `out`
// and return kExitAnswered. When `out` cannot be written (a full disk, a
// closed pipe), the run breaks off or a lookup could not be made at all (no
// descriptor left), one line on `err` says so and the result is
// kExitSystemError; a JSON document begun is closed first. A stop signal
// (SIGINT, SIGTERM) ends the lookups in flight: the results so far are
// written, a JSON document closed, and the result is kExitInterrupted.
// --method raw where the raw method cannot be had is kExitUsage, with a line
// that says how an administrator grants it. Except for --watch, every
// privilege is given up before any target is read.
int RunLookupCommand(std::span<const std::string_view> arguments, std::ostream& out,
                     std::ostream& err, const CommandSystem& system);

}  // namespace varnock::console
