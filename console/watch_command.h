#pragma once

#include <iosfwd>

#include "console/command_line.h"
#include "console/lookup_command.h"

namespace varnock::console {

// Runs `varnock-cli --watch` once its command line is read: reports the
// changes of the neighbour table until a stop signal, looking the targets
// up every line.every meanwhile, keeping the record in line.stateFile.
// Returns kExitAnswered after a clean stop, kExitUsage for a state file it
// cannot use (one line on `err` says why).
int RunWatch(const CommandLine& line, std::uint32_t interfaceIndex,
             const std::vector<Target>& targets, std::ostream& out, std::ostream& err,
             const CommandSystem& system);

}  // namespace varnock::console
