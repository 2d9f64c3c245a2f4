#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "console/command/command_line.h"
#include "console/event_hook.h"
#include "console/watch/event_output.h"

namespace varnock::console {

// The events on `out`, as text or JSON lines as `format` says. The watch
// ends when `out` cannot be written or, when `outputGone` is given, when
// its reader went away.
std::unique_ptr<EventOutput> StandardOutputEvents(std::ostream& out, OutputFormat format,
                                                  std::function<bool()> outputGone);

// The events as JSON lines appended to the file `path` (--log), opened
// already; the watch ends when it cannot be written.
std::unique_ptr<EventOutput> LogFileEvents(std::unique_ptr<std::ostream> log, std::string path);

// Each event given to `hook` (--exec): as JSON on its standard input and
// in its environment.
std::unique_ptr<EventOutput> HookEvents(std::unique_ptr<EventHook> hook);

}  // namespace varnock::console
