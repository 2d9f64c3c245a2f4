#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

#include "console/command/command_line.h"
#include "console/names/device_names.h"
#include "console/watch/state_file.h"
#include "console/watch/watch.h"

namespace varnock::console {

// Every output and writer the command line asks of a watch, made here and
// nowhere else, in the order they are told: standard output, --log, --exec;
// --state. Or, for the first that cannot be had, why (a usage error: the
// watch does not start, and no file is changed). `systemNamesFile`: the
// names read before --names for --metrics-file, when it exists (tests: none,
// or their own).
std::variant<WatchOutputs, std::string> WatchOutputsOf(
    const CommandLine& line, std::ostream& out, std::function<bool()> outputGone,
    const WatchReport& report, const std::optional<std::string>& systemNamesFile);

}  // namespace varnock::console
