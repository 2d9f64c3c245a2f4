#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>

#include "console/command/command_line.h"
#include "console/command/command_system.h"
#include "console/command/exit_status.h"
#include "console/lookups/targets.h"

namespace varnock::console {

// What a watch asks besides the system's lookups and feed; tests give
// their own.
struct WatchControls {
    std::function<bool()> stopRequested;
    // Whether the reader of `out` went away; nothing: learnt at a write.
    std::function<bool()> outputGone;
    // How often the record is saved (and a failed save tried again): at
    // most this often, and at the end.
    std::chrono::milliseconds saveInterval{5000};
};

// Runs `varnock-cli --watch` once its command line is read: reports the
// changes of the neighbour table until a stop signal, looking the targets
// up every line.every meanwhile, keeping the record in line.stateFile.
// Returns kExitAnswered after a clean stop with the record saved;
// kExitUsage for a state file it cannot use (one line on `err` says why,
// and the file is left as it was); kExitSystemError when the events could
// not be written (standard output, --log), the record could not be saved
// by the end, or the table could no longer be read (after a last attempt
// to save; one line on `err` says why).
int RunWatch(const CommandLine& line, std::uint32_t interfaceIndex,
             const std::vector<Target>& targets, std::ostream& out, std::ostream& err,
             const CommandSystem& system);
int RunWatch(const CommandLine& line, std::uint32_t interfaceIndex,
             const std::vector<Target>& targets, std::ostream& out, std::ostream& err,
             const CommandSystem& system, const WatchControls& controls);

}  // namespace varnock::console
