#include "console/watch/watch_outputs.h"

#include <fstream>
#include <memory>
#include <utility>

#include "console/event_hook.h"
#include "console/metrics/metrics_file.h"
#include "console/watch/event_outputs.h"

namespace varnock::console {

std::variant<WatchOutputs, std::string> WatchOutputsOf(
    const CommandLine& line, std::ostream& out, std::function<bool()> outputGone,
    const WatchReport& report, const std::optional<std::string>& systemNamesFile) {
    WatchOutputs outputs;
    if (line.stateFile) {
        auto opened = OpenStateFile(*line.stateFile, report);
        if (auto* problem = std::get_if<std::string>(&opened)) {
            return std::move(*problem);
        }
        auto& state = std::get<OpenedStateFile>(opened);
        outputs.restored = std::move(state.restored);
        outputs.told = std::move(state.told);
        outputs.writers.push_back(std::move(state.writer));
    }
    if (line.metricsFile) {
        DeviceNames names;
        if (systemNamesFile) {
            names.Load(*systemNamesFile, true);
        }
        for (const std::string& file : line.namesFiles) {
            names.Load(file);
        }
        for (const std::string& problem : names.Problems()) {
            report("--names: " + problem);
        }
        // The record is named by its file; without one, by the metrics'.
        outputs.writers.push_back(MetricsFileWriter(*line.metricsFile,
                                                    line.stateFile.value_or(*line.metricsFile),
                                                    std::move(names), report));
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
