#include "console/watch_command.h"

#include <atomic>
#include <exception>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "console/neighbour_record.h"
#include "console/result_text.h"
#include "console/system.h"
#include "console/terminal_text.h"
#include "console/vendor_names.h"
#include "console/watch_state.h"

namespace varnock::console {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kProgramName = "varnock-cli";
// The record is written at most this often, and at the end.
constexpr std::chrono::seconds kSaveInterval{5};
// How often a wait looks whether it was asked to stop.
constexpr std::chrono::milliseconds kLongestWait{500};

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
    }
    return "?";
}

std::string MacText(const HardwareAddressBytes& bytes) {
    return FormatMacAddress(bytes, ":");
}

std::string PlainAddress(const IpAddress& address) {
    return AddressText(address, [](std::uint32_t) { return std::string(); });
}

// One line for a person:
//   2026-12-07T14:00:00Z  new      192.0.2.2  02:1A:2B:3C:4D:5E  Vendor  on eth0
std::string EventLine(const WatchEvent& event, const Vendor& vendor) {
    std::string line = UtcText(event.time) + "  " + KindName(event.kind);
    line.resize(std::max<std::size_t>(line.size(), 30), ' ');
    if (event.kind == WatchEvent::Kind::kMany) {
        line += MacText(event.hardwareAddress) + "  answers for";
        for (std::size_t i = 0; i < event.addresses.size(); ++i) {
            line += (i == 0 ? " " : ", ") + PlainAddress(event.addresses[i]);
        }
    } else {
        line += PlainAddress(event.address) + "  ";
        if (event.kind == WatchEvent::Kind::kChanged) {
            line += MacText(event.previous) + " -> ";
        }
        line += MacText(event.hardwareAddress);
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
    json += ", \"hardware_address\": " + JsonString(MacText(event.hardwareAddress));
    if (event.kind == WatchEvent::Kind::kMany) {
        json += ", \"addresses\": [";
        for (std::size_t i = 0; i < event.addresses.size(); ++i) {
            json += (i == 0 ? "" : ", ") + JsonString(PlainAddress(event.addresses[i]));
        }
        return json + "]}";
    }
    json += ", \"address\": " + JsonString(PlainAddress(event.address));
    json += ", \"previous_hardware_address\": ";
    json += event.kind == WatchEvent::Kind::kChanged ? JsonString(MacText(event.previous)) : "null";
    json += ", \"vendor\": ";
    json += vendor.name ? JsonString(*vendor.name) : "null";
    json += std::string(", \"locally_administered\": ") +
            (vendor.locallyAdministered ? "true" : "false");
    return json + '}';
}

// Looks the targets up every so often, on a thread of its own, so that
// devices that never talk to this machine are found too: their answers
// reach the watch through the kernel's notifications like any other.
class PeriodicSweep {
public:
    PeriodicSweep(const std::vector<Target>& targets, const CommandLine& line,
                  std::uint32_t interfaceIndex, const CommandSystem& system)
        : targets_(targets), line_(line), system_(system) {
        settings_.interfaceIndex = interfaceIndex;
        settings_.maxWait = line.timeout;
    }
    PeriodicSweep(const PeriodicSweep&) = delete;
    PeriodicSweep& operator=(const PeriodicSweep&) = delete;
    ~PeriodicSweep() {
        stopping_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    // Starts a sweep when one is due and none is running.
    void Tick(Clock::time_point now) {
        if (targets_.empty() || running_ || now < nextStart_) {
            return;
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        nextStart_ = now + line_.every;
        running_ = true;
        thread_ = std::thread([this] {
            try {
                const auto engine = system_.makeEngine(ResolverMode::kLive);
                LookUpInOrder(
                    targets_, settings_, *engine, system_.limits,
                    [&](AddressResult&&) {
                        // A stop ends the sweep: no further lookup starts.
                        if (stopping_) {
                            throw std::runtime_error("stopping");
                        }
                    },
                    [](const LookupProgress&) {});
            } catch (const std::exception&) {
                // Stopped, or no lookup could start: the next sweep tries again.
            }
            running_ = false;
        });
    }

private:
    const std::vector<Target>& targets_;
    const CommandLine& line_;
    const CommandSystem& system_;
    LookupSettings settings_;
    Clock::time_point nextStart_{};
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace

int RunWatch(const CommandLine& line, std::uint32_t interfaceIndex,
             const std::vector<Target>& targets, std::ostream& out, std::ostream& err,
             const CommandSystem& system) {
    auto fail = [&](const std::string& why) {
        err << kProgramName << ": " << TerminalText(why) << '\n';
        return kExitUsage;
    };
    const auto feed = system.makeFeed ? system.makeFeed(interfaceIndex) : nullptr;
    if (!feed) {
        return fail("--watch: watching is not supported on this system yet");
    }

    NeighbourRecord record;
    std::unique_ptr<FileLock> lock;
    if (line.stateFile) {
        std::string problem;
        lock = LockFile(*line.stateFile + ".lock", problem);
        if (!lock) {
            return fail("--state " + *line.stateFile + ": " + problem);
        }
        std::ifstream in(*line.stateFile, std::ios::binary);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            auto read = ParseWatchState(text.str());
            if (auto* unreadable = std::get_if<std::string>(&read)) {
                // Never overwritten: the user may want what it holds.
                return fail("--state " + *line.stateFile + ": " + *unreadable +
                            "; fix it or start with another file");
            }
            record.Restore(std::move(std::get<std::vector<SeenNeighbour>>(read)));
        }
    }
    std::ofstream log;
    if (line.logFile) {
        log.open(*line.logFile, std::ios::app);
        if (!log) {
            return fail("--log " + *line.logFile + ": cannot be written");
        }
    }

    VendorSources sources = system.vendors;
    sources.userFile = line.vendorFile;
    VendorNames vendors(std::move(sources));
    auto tell = [&](const std::vector<WatchEvent>& events) {
        for (const WatchEvent& event : events) {
            Vendor vendor;
            if (event.kind != WatchEvent::Kind::kMany) {
                vendor = {vendors.Of(event.hardwareAddress),
                          IsLocallyAdministered(event.hardwareAddress)};
            }
            if (line.format == OutputFormat::kJsonLines) {
                out << EventJson(event, vendor) << '\n';
            } else {
                out << EventLine(event, vendor) << '\n';
            }
            if (log.is_open()) {
                log << EventJson(event, vendor) << '\n' << std::flush;
            }
        }
        for (const std::string& problem : vendors.TakeProblems()) {
            err << kProgramName << ": " << problem << '\n';
        }
        // Events nobody can read end the watch, as a closed pipe would.
        if (!out.flush()) {
            throw std::runtime_error("cannot write the events");
        }
        if (log.is_open() && !log) {
            throw std::runtime_error("--log: cannot be written");
        }
    };
    auto apply = [&](const std::vector<NeighbourEntry>& entries) {
        const auto now = WallClock::now();
        for (const NeighbourEntry& entry : entries) {
            tell(record.Apply(entry, system.interfaceNameOf(entry.interfaceIndex), now));
        }
    };
    auto save = [&]() -> bool {
        if (!line.stateFile || !record.TakeChanged()) {
            return true;
        }
        if (const auto problem =
                ReplaceFileContents(*line.stateFile, FormatWatchState(record.Seen()))) {
            err << kProgramName << ": --state: " << TerminalText(*problem) << '\n';
            return false;
        }
        return true;
    };

    CatchStopSignals();
    int status = kExitAnswered;
    try {
        apply(feed->Table());
        PeriodicSweep sweep(targets, line, interfaceIndex, system);
        auto lastSave = Clock::now();
        while (!StopRequested()) {
            sweep.Tick(Clock::now());
            const auto changes = feed->Next(kLongestWait);
            apply(changes.entries);
            tell(record.Settle(WallClock::now()));
            if (Clock::now() - lastSave >= kSaveInterval) {
                save();
                lastSave = Clock::now();
            }
        }
    } catch (const std::exception& failure) {
        err << kProgramName << ": the watch broke off: " << TerminalText(failure.what()) << '\n';
        status = kExitSystemError;
    }
    if (!save()) {
        status = kExitSystemError;
    }
    return status;
}

}  // namespace varnock::console
