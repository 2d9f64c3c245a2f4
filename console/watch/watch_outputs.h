#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <variant>

#include "console/command/command_line.h"
#include "console/watch/state_file.h"
#include "console/watch/watch.h"

namespace varnock::console {

// Every output and writer the command line asks of a watch, made here and
// nowhere else, in the order they are told: standard output, --log, --exec;
// --state. Or, for the first that cannot be had, why (a usage error: the
// watch does not start, and no file is changed).
std::variant<WatchOutputs, std::string> WatchOutputsOf(const CommandLine& line, std::ostream& out,
                                                       std::function<bool()> outputGone,
                                                       const WatchReport& report);

}  // namespace varnock::console
