#include "console/watch/watch_outputs.h"

#include <fstream>
#include <memory>
#include <utility>

#include "console/event_hook.h"
#include "console/watch/event_outputs.h"

namespace varnock::console {

std::variant<WatchOutputs, std::string> WatchOutputsOf(const CommandLine& line, std::ostream& out,
                                                       std::function<bool()> outputGone,
                                                       const WatchReport& report) {
    WatchOutputs outputs;
    if (line.stateFile) {
        auto opened = OpenStateFile(*line.stateFile, report);
        if (auto* problem = std::get_if<std::string>(&opened)) {
            return std::move(*problem);
        }
        auto& state = std::get<OpenedStateFile>(opened);
        outputs.restored = std::move(state.restored);
        outputs.writers.push_back(std::move(state.writer));
    }
    outputs.events.push_back(StandardOutputEvents(out, line.format, std::move(outputGone)));
    if (line.logFile) {
        auto log = std::make_unique<std::ofstream>(*line.logFile, std::ios::app);
        if (!*log) {
            return "--log " + *line.logFile + ": cannot be written";
        }
        outputs.events.push_back(LogFileEvents(std::move(log), *line.logFile));
    }
    if (line.execCommand) {
        auto hook = MakeEventHook(*line.execCommand);
        if (!hook) {
            return std::string("--exec: running commands is not supported on this system yet");
        }
        outputs.events.push_back(HookEvents(std::move(hook)));
    }
    return outputs;
}

}  // namespace varnock::console
