#include "console/watch/watch_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <variant>

#include "console/event_hook.h"
#include "console/lookups/result_text.h"
#include "console/system.h"
#include "console/text/address_text.h"
#include "console/text/json_text.h"
#include "console/text/terminal_text.h"
#include "console/text/utc_text.h"
#include "console/vendors/vendor_names.h"
#include "console/watch/event_burst.h"
#include "console/watch/neighbour_record.h"
#include "console/watch/record_file.h"
#include "console/watch/record_file_reader.h"

namespace varnock::console {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kProgramName = "varnock-cli";
// How often a wait looks whether it was asked to stop.
constexpr std::chrono::milliseconds kLongestWait{500};
// ... and how soon it looks again while --exec has a run going or waiting.
constexpr std::chrono::milliseconds kHookWait{20};

const char* KindName(WatchEvent::Kind kind) {
    switch (kind) {
        case WatchEvent::Kind::kNew:
            return "new";
        case WatchEvent::Kind::kChanged:
            return "changed";
        case WatchEvent::Kind::kStopped:
            return "stopped";
        case WatchEvent::Kind::kMany:
            return "many";
        case WatchEvent::Kind::kBack:
            return "back";
        case WatchEvent::Kind::kBurst:
            return "burst";
    }
    return "?";
}

// One line for a person:
//   2026-12-07T14:00:00Z  new      192.0.2.2  02:1A:2B:3C:4D:5E  Vendor  on eth0
std::string EventLine(const WatchEvent& event, const Vendor& vendor) {
    std::string line = UtcText(event.time) + "  " + KindName(event.kind);
    line.resize(std::max<std::size_t>(line.size(), 30), ' ');
    if (event.kind == WatchEvent::Kind::kMany) {
        line += HardwareAddressText(event.hardwareAddress, ":") + "  answers for " +
                AddressList(event.addresses);
    } else if (event.kind == WatchEvent::Kind::kBurst) {
        line += std::to_string(event.count) + " more new addresses, most from " +
                HardwareAddressText(event.hardwareAddress, ":") + ": " +
                AddressList(event.addresses) +
                (event.count > event.addresses.size() ? ", ..." : "");
    } else {
        line += PlainAddress(event.address) + "  ";
        if (event.kind == WatchEvent::Kind::kChanged) {
            line += HardwareAddressText(event.previous, ":") + " -> ";
        }
        line += HardwareAddressText(event.hardwareAddress, ":");
        if (vendor.name) {
            line += "  " + std::string(*vendor.name);
        } else if (vendor.locallyAdministered) {
            line += "  (locally administered)";
        }
    }
    return TerminalText(line + "  on " + event.interfaceName);
}

// One JSON object for a script, with a type field.
std::string EventJson(const WatchEvent& event, const Vendor& vendor) {
    std::string json = "{\"type\": \"" + std::string(KindName(event.kind)) + "\"";
    json += ", \"time\": " + JsonString(UtcText(event.time));
    json += ", \"interface\": " + JsonString(event.interfaceName);
    json +=
        ", \"hardware_address\": " + JsonString(HardwareAddressText(event.hardwareAddress, ":"));
    json += ", \"first_seen\": " + JsonString(UtcText(event.firstSeen));
    json += ", \"last_seen\": " + JsonString(UtcText(event.lastSeen));
    if (event.kind == WatchEvent::Kind::kMany || event.kind == WatchEvent::Kind::kBurst) {
        if (event.kind == WatchEvent::Kind::kBurst) {
            json += ", \"count\": " + std::to_string(event.count);
        }
        json += ", \"addresses\": [";
        for (std::size_t i = 0; i < event.addresses.size(); ++i) {
            json += (i == 0 ? "" : ", ") + JsonString(PlainAddress(event.addresses[i]));
        }
        return json + "]}";
    }
    json += ", \"address\": " + JsonString(PlainAddress(event.address));
    json += ", \"previous_hardware_address\": ";
    json += event.kind == WatchEvent::Kind::kChanged
                ? JsonString(HardwareAddressText(event.previous, ":"))
                : "null";
    json += ", \"vendor\": ";
    json += vendor.name ? JsonString(*vendor.name) : "null";
    json += std::string(", \"locally_administered\": ") +
            (vendor.locallyAdministered ? "true" : "false");
    return json + '}';
}

// What --exec is given besides the JSON.
HookEvent HookEventOf(const WatchEvent& event, std::string json) {
    HookEvent hook;
    hook.environment = {
        {"VARNOCK_EVENT", json},
        {"VARNOCK_EVENT_TYPE", KindName(event.kind)},
        {"VARNOCK_INTERFACE", event.interfaceName},
        {"VARNOCK_HARDWARE_ADDRESS", HardwareAddressText(event.hardwareAddress, ":")}};
    if (event.kind != WatchEvent::Kind::kMany && event.kind != WatchEvent::Kind::kBurst) {
        hook.environment.emplace_back("VARNOCK_ADDRESS", PlainAddress(event.address));
    }
    hook.json = std::move(json);
    return hook;
}

// Looks the targets up every so often, on the watch's own engine, so that
// devices that never talk to this machine are found too: their answers
// reach the watch through the kernel's notifications like any other. The
// lookups run while the watch's feed waits.
class PeriodicSweep {
public:
    PeriodicSweep(const std::vector<Target>& targets, const CommandLine& line,
                  std::uint32_t interfaceIndex, NeighbourEngine& engine,
                  const CommandSystem& system)
        : targets_(targets), line_(line), engine_(engine), system_(system) {
        settings_.interfaceIndex = interfaceIndex;
        settings_.maxWait = line.timeout;
    }

    // Addresses to ask once more, before the next sweep: their answers (or
    // the kernel giving up on them) reach the watch as notifications.
    void Recheck(std::vector<Target> addresses) {
        rechecks_.insert(rechecks_.end(), std::make_move_iterator(addresses.begin()),
                         std::make_move_iterator(addresses.end()));
        if (rechecks_.size() > kMostRechecks) {
            rechecks_.resize(kMostRechecks);
        }
    }
    static constexpr std::size_t kMostRechecks = 256;

    // Moves the running sweep on, or starts one when one is due (or
    // addresses wait to be asked again); returns when it next wants to be
    // called, at the latest.
    Clock::time_point Tick(Clock::time_point now) {
        if (run_ && run_->Advance([](AddressResult&&) {})) {
            run_.reset();
        }
        if (!run_ && (!rechecks_.empty() || (!targets_.empty() && now >= nextStart_))) {
            if (!rechecks_.empty()) {
                current_ = std::exchange(rechecks_, {});
            } else {
                current_ = targets_;
                nextStart_ = now + line_.every;
            }
            run_.emplace(current_, settings_, engine_, system_.limits);
            if (run_->Advance([](AddressResult&&) {})) {
                run_.reset();
            }
        }
        if (run_) {
            return run_->NextStart();
        }
        return targets_.empty() ? Clock::time_point::max() : nextStart_;
    }

private:
    const std::vector<Target>& targets_;
    std::vector<Target> rechecks_;
    std::vector<Target> current_;  // the running sweep's
    const CommandLine& line_;
    NeighbourEngine& engine_;
    const CommandSystem& system_;
    LookupSettings settings_;
    Clock::time_point nextStart_{};
    std::optional<LookupRun> run_;
};

// The state file as it stands: its text, nothing when there is none yet,
// or why it cannot be read.
std::variant<std::optional<std::string>, std::string> ReadStateFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::optional<std::string>();
    }
    if (error) {
        return error.message();
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return std::string("not a plain file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "cannot be read: " + std::string(std::strerror(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return std::string("cannot be read to its end");
    }
    return std::optional<std::string>(text.str());
}

// A state file named through a link is the link's target: that is the file
// locked, read and replaced, so that the link stays a link and a second
// watch naming the target directly is kept out.
std::string RealStatePath(const std::string& path) {
    namespace fs = std::filesystem;
    constexpr int kMostLinks = 40;  // as many as the kernel follows
    fs::path real = path;
    std::error_code error;
    // Followed by hand: a link to a file not made yet is a link all the same.
    for (int hop = 0; hop < kMostLinks && fs::is_symlink(real, error); ++hop) {
        const fs::path target = fs::read_symlink(real, error);
        if (error) {
            return path;
        }
        real = target.is_absolute() ? target : real.parent_path() / target;
    }
    return real.lexically_normal().string();
}

}  // namespace

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
    auto report = [&](const std::string& what) {
        err << kProgramName << ": " << TerminalText(what) << '\n' << std::flush;
    };
    auto fail = [&](const std::string& why) {
        report(why);
        return kExitUsage;
    };
    // One engine for the watch and its sweeps, and the feed on its
    // subscription: one subscription, one loop.
    const auto engine = system.makeEngine(ResolverMode::kLive);
    const auto feed = system.makeFeed ? system.makeFeed(*engine, interfaceIndex) : nullptr;
    if (!feed) {
        return fail("--watch: watching is not supported on this system yet");
    }

    NeighbourRecord record;
    std::unique_ptr<FileLock> lock;
    std::string statePath;
    if (line.stateFile) {
        statePath = RealStatePath(*line.stateFile);
        std::string problem;
        lock = LockFile(statePath + ".lock", problem);
        if (!lock) {
            return fail("--state " + *line.stateFile + ": " + problem);
        }
        auto read = ReadStateFile(statePath);
        if (auto* unreadable = std::get_if<std::string>(&read)) {
            // Never overwritten: the user may want what it holds.
            return fail("--state " + *line.stateFile + ": " + *unreadable +
                        "; the file is left as it is");
        }
        if (const auto& text = std::get<std::optional<std::string>>(read)) {
            auto parsed = ParseWatchState(*text);
            if (auto* damaged = std::get_if<std::string>(&parsed)) {
                return fail("--state " + *line.stateFile + ": " + *damaged +
                            "; the file is left as it is: fix it or start with another file");
            }
            record.Restore(std::move(std::get<std::vector<SeenNeighbour>>(parsed)));
        }
    }
    std::ofstream log;
    if (line.logFile) {
        log.open(*line.logFile, std::ios::app);
        if (!log) {
            return fail("--log " + *line.logFile + ": cannot be written");
        }
    }
    std::unique_ptr<EventHook> hook;
    if (line.execCommand) {
        hook = MakeEventHook(*line.execCommand);
        if (!hook) {
            return fail("--exec: running commands is not supported on this system yet");
        }
    }

    VendorSources sources = system.vendors;
    sources.userFile = line.vendorFile;
    VendorNames vendors(std::move(sources));
    EventBurst burst;
    // Why the watch must end: its events can no longer be written.
    std::string broken;
    auto tell = [&](std::vector<WatchEvent> events) {
        for (const WatchEvent& event : burst.Pass(std::move(events), WallClock::now())) {
            Vendor vendor;
            if (event.kind != WatchEvent::Kind::kMany && event.kind != WatchEvent::Kind::kBurst) {
                vendor = {vendors.Of(event.hardwareAddress),
                          IsLocallyAdministered(event.hardwareAddress)};
            }
            std::string json = EventJson(event, vendor);
            out << (line.format == OutputFormat::kJsonLines ? json : EventLine(event, vendor))
                << '\n';
            if (log.is_open()) {
                log << json << '\n' << std::flush;
                if (!log && broken.empty()) {
                    broken = "--log " + *line.logFile + ": cannot be written";
                }
            }
            if (hook) {
                hook->Queue(HookEventOf(event, std::move(json)));
            }
        }
        for (const std::string& problem : vendors.TakeProblems()) {
            err << kProgramName << ": " << problem << '\n';
        }
        if (!out.flush() && broken.empty()) {
            broken = "the events cannot be written to standard output";
        }
    };
    auto apply = [&](const std::vector<NeighbourEntry>& entries) {
        const auto now = WallClock::now();
        for (const NeighbourEntry& entry : entries) {
            tell(record.Apply(entry, system.interfaceNameOf(entry.interfaceIndex), now));
        }
    };
    // What the record holds that the file does not: kept until a save works.
    bool unsaved = false;
    bool saveFailing = false;
    auto save = [&]() -> bool {
        unsaved = record.TakeChanged() || unsaved;
        if (!line.stateFile || !unsaved) {
            return true;
        }
        if (const auto problem = ReplaceFileContents(statePath, FormatWatchState(record.Seen()))) {
            if (!saveFailing) {
                report("--state " + *line.stateFile + ": cannot be saved (" + *problem +
                       "); trying again");
            }
            saveFailing = true;
            return false;
        }
        if (saveFailing) {
            report("--state " + *line.stateFile + ": saved again");
        }
        saveFailing = false;
        unsaved = false;
        return true;
    };
    auto forget = [&] { record.Forget(WallClock::now() - line.forgetAfter); };

    std::optional<std::string> watchedInterface;
    if (interfaceIndex != 0) {
        watchedInterface = system.interfaceNameOf(interfaceIndex);
    }

    CatchStopSignals();
    int status = kExitAnswered;
    try {
        forget();
        apply(feed->Table());
        PeriodicSweep sweep(targets, line, interfaceIndex, *engine, system);
        auto lastSave = Clock::now();
        while (!controls.stopRequested() && broken.empty()) {
            const auto now = Clock::now();
            const auto sweepWants = sweep.Tick(now);
            auto wait = hook && hook->Busy() ? kHookWait : kLongestWait;
            if (sweepWants < now + wait) {
                wait =
                    std::chrono::ceil<std::chrono::milliseconds>(std::max(sweepWants, now) - now);
            }
            auto changes = feed->Next(wait);
            // A stop that became certain before these changes came is told
            // before them: an answer now is the address coming back.
            tell(record.Settle(WallClock::now()));
            if (changes.wholeTable) {
                // Notifications were lost: the table as it stands against
                // the record; what vanished from it is asked again.
                auto reconciled = record.Reconcile(changes.entries, system.interfaceNameOf,
                                                   watchedInterface, WallClock::now());
                tell(std::move(reconciled.events));
                std::vector<Target> again;
                for (const SeenNeighbour& vanished : reconciled.vanished) {
                    again.push_back({vanished.address, {}, PlainAddress(vanished.address)});
                }
                sweep.Recheck(std::move(again));
            } else {
                apply(changes.entries);
            }
            tell(record.Settle(WallClock::now()));
            tell(burst.Close(WallClock::now()));
            forget();
            if (hook) {
                for (const std::string& failure : hook->Advance()) {
                    report(failure);
                }
            }
            if (controls.outputGone && controls.outputGone() && broken.empty()) {
                broken = "standard output was closed by its reader";
            }
            if (Clock::now() - lastSave >= controls.saveInterval) {
                save();
                lastSave = Clock::now();
            }
        }
    } catch (const std::exception& failure) {
        report(std::string("the watch broke off: ") + failure.what());
        status = kExitSystemError;
    }
    if (broken.empty()) {
        tell(burst.Close(WallClock::now(), true));
    }
    if (hook) {
        for (const std::string& failure : hook->Finish()) {
            report(failure);
        }
    }
    if (!broken.empty()) {
        report(broken + "; the watch ends");
        status = kExitSystemError;
    }
    if (!save()) {
        report("--state " + *line.stateFile + ": what the watch saw since its last save is lost");
        status = kExitSystemError;
    }
    return status;
}

}  // namespace varnock::console
