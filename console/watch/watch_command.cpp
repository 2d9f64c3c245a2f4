#include "console/watch/watch_command.h"

#include <exception>
#include <iostream>
#include <memory>
#include <ostream>
#include <utility>
#include <variant>

#include "console/system.h"
#include "console/text/terminal_text.h"
#include "console/watch/periodic_sweep.h"
#include "console/watch/watch.h"
#include "console/watch/watch_outputs.h"

namespace varnock::console {

int RunWatch(const CommandLine& line, std::uint32_t interfaceIndex,
             const std::vector<Target>& targets, std::ostream& out, std::ostream& err,
             const CommandSystem& system) {
    WatchControls controls;
    controls.stopRequested = StopRequested;
    if (&out == &std::cout) {
        controls.outputGone = StandardOutputGone;
    }
    return RunWatch(line, interfaceIndex, targets, out, err, system, controls);
}

int RunWatch(const CommandLine& line, std::uint32_t interfaceIndex,
             const std::vector<Target>& targets, std::ostream& out, std::ostream& err,
             const CommandSystem& system, const WatchControls& controls) {
    const WatchReport report = [&err](const std::string& what) {
        err << "varnock-cli: " << TerminalText(what) << '\n' << std::flush;
    };
    // One engine for the watch and its sweeps; the watch is its observer:
    // one subscription, one loop.
    const auto engine = system.makeEngine(ResolverMode::kLive);
    auto outputs = WatchOutputsOf(line, out, controls.outputGone, report, system.namesFile);
    if (auto* problem = std::get_if<std::string>(&outputs)) {
        report(*problem);
        return kExitUsage;
    }

    Watch::Settings settings;
    settings.interfaceNameOf = system.interfaceNameOf;
    if (interfaceIndex != 0) {
        settings.watchedInterface = system.interfaceNameOf(interfaceIndex);
    }
    settings.forgetAfter = line.forgetAfter;
    settings.saveInterval = controls.saveInterval;
    settings.stopRequested = controls.stopRequested;
    VendorSources vendors = system.vendors;
    vendors.userFile = line.vendorFile;
    Watch watch(std::move(settings), std::move(std::get<WatchOutputs>(outputs)), std::move(vendors),
                std::make_unique<PeriodicSweep>(targets, line, interfaceIndex, *engine, system),
                err);

    CatchStopSignals();
    int status = kExitAnswered;
    try {
        const auto table = engine->Observe(watch, interfaceIndex);
        if (!table) {
            report("--watch: watching is not supported on this system yet");
            return kExitUsage;
        }
        watch.Start(*table);
        // The engine tells the watch the table's changes and delivers the
        // sweep's answers from within Run, and ends it early when the watch
        // says stop.
        for (auto wait = watch.Tick(); !watch.StopRunning(); wait = watch.Tick()) {
            engine->Run(NeighbourEngine::Clock::now() + wait);
        }
    } catch (const std::exception& failure) {
        report(std::string("the watch broke off: ") + failure.what());
        status = kExitSystemError;
    }
    return watch.Finish() ? status : kExitSystemError;
}

}  // namespace varnock::console
