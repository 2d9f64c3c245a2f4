#include "console/lookups/lookup_command.h"

#include <algorithm>
#include <exception>
#include <ostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "console/command/command_line.h"
#include "console/command/usage_error.h"
#include "console/lookups/progress_line.h"
#include "console/lookups/result_text.h"
#include "console/lookups/target_file.h"
#include "console/text/terminal_text.h"
#include "console/watch/watch_command.h"
#include "lookup/raw_method.h"

namespace varnock::console {
namespace {

constexpr std::string_view kProgramName = "varnock-cli";
constexpr std::string_view kVersion = VARNOCK_VERSION_TEXT;

// The raw method paces its requests itself and fills no table: enough
// lookups in flight to keep its pace through each one's waits.
constexpr std::size_t kRawMostInFlight = 8192;

constexpr std::string_view kNoRawMethod =
    "--method raw: this system has no raw method (only the system's own resolution)";
constexpr std::string_view kRawRefused =
    "--method raw: this process may not send raw ARP (it needs the CAP_NET_RAW "
    "capability). Run it as root, or have an administrator grant the capability to "
    "the program: setcap cap_net_raw+ep /usr/bin/varnock-cli (every user who may run "
    "it can then send ARP and neighbour discovery of their own making on the "
    "attached networks)";

// Raised from the run's own callbacks when a stop signal came.
struct Interrupted {};

// Writes the results in the chosen form: the form's opening, one result
// after the other as each is final, the closing.
class ResultWriter {
public:
    ResultWriter(std::ostream& out, const CommandLine& line, VendorNames& vendors,
                 const ResultNaming& naming)
        : out_(out), line_(line), vendors_(vendors), naming_(naming) {}

    void Open() {
        if (line_.quiet) {
            return;
        }
        if (line_.format == OutputFormat::kJson) {
            out_ << '[';
        } else if (line_.format == OutputFormat::kCsv) {
            out_ << CsvHeader();
        }
    }

    void Write(const AddressResult& result) {
        if (line_.quiet) {
            if (result.Answered()) {
                out_ << TerminalText(*result.hardwareAddress) << '\n';
            }
            return;
        }
        Vendor vendor;
        if (result.Answered()) {
            vendor = {vendors_.Of(result.bytes), IsLocallyAdministered(result.bytes)};
        }
        switch (line_.format) {
            case OutputFormat::kText:
                out_ << TextLine(result, vendor, naming_) << '\n';
                break;
            case OutputFormat::kJson:
                out_ << (written_ == 0 ? "\n  " : ",\n  ") << JsonObject(result, vendor, naming_);
                break;
            case OutputFormat::kJsonLines:
                // A pipe starts working on each result as soon as it is final.
                out_ << JsonObject(result, vendor, naming_) << '\n' << std::flush;
                break;
            case OutputFormat::kCsv:
                out_ << CsvRecord(result, vendor, naming_);
                break;
        }
        ++written_;
    }

    void Close() {
        if (!line_.quiet && line_.format == OutputFormat::kJson) {
            out_ << "\n]\n";
        }
    }

private:
    std::ostream& out_;
    const CommandLine& line_;
    VendorNames& vendors_;
    const ResultNaming& naming_;
    std::size_t written_ = 0;
};

// Every target the command line names: its own, then each file's, then the
// local networks.
std::vector<Target> TargetsOf(const CommandLine& line, std::uint32_t interfaceIndex,
                              const CommandSystem& system) {
    std::vector<Target> targets = ExpandTargets(line.addresses, system.targets);
    for (const std::string& file : line.files) {
        std::unique_ptr<InputFile> input;
        try {
            input = system.openInput(file);
        } catch (const std::system_error& failure) {
            throw UsageError("-f " + Quoted(file) + ": cannot be read (" +
                             failure.code().message() + ")");
        }
        AppendTargetFile(*input, file, system.targets, targets);
    }
    if (line.localNetworks) {
        const auto networks = system.attachedNetworks(interfaceIndex);
        if (networks.empty()) {
            throw UsageError(
                "--localnet: no directly attached IPv4 network on an interface "
                "that uses ARP");
        }
        for (const AttachedNetwork& network : networks) {
            AppendWithinLimit(targets,
                              HostsOf(network, system.interfaceNameOf(network.interfaceIndex)),
                              "--localnet");
        }
    }
    return targets;
}

}  // namespace

int RunLookupCommand(std::span<const std::string_view> arguments, std::ostream& out,
                     std::ostream& err, const CommandSystem& system) {
    CommandLine line;
    std::vector<Target> addresses;
    LookupSettings settings;
    try {
        line = ReadCommandLine(arguments);
        VendorSources sources = system.vendors;
        sources.userFile = line.vendorFile;
        if (line.help || line.version) {
            if (line.help) {
                out << HelpText() << '\n';
            } else {
                out << kProgramName << ' ' << kVersion << '\n';
            }
            out << DescribeVendorSources(sources) << std::flush;
            if (!out) {
                err << kProgramName << ": cannot write to standard output\n";
                return kExitSystemError;
            }
            return kExitAnswered;
        }
        if (line.watch && (line.format == OutputFormat::kJson ||
                           line.format == OutputFormat::kCsv || line.quiet || line.cached)) {
            throw UsageError("--watch writes lines of text, or JSON lines with --jsonl");
        }
        if (line.method == LookupMethod::kRaw && (line.watch || line.cached)) {
            throw UsageError("--method raw: --watch and --cached ask the kernel");
        }
        if (line.rate && line.method == LookupMethod::kKernel) {
            throw UsageError("--rate: only the raw method sends at a rate of its own");
        }
        if (!line.watch && line.addresses.empty() && line.files.empty() && !line.localNetworks) {
            err << kUsageLine << '\n';
            return kExitUsage;
        }
        if (line.interfaceName) {
            const auto index = system.targets.interfaceIndexNamed(*line.interfaceName);
            if (!index) {
                throw UsageError("-I " + Quoted(*line.interfaceName) + ": no such interface");
            }
            settings.interfaceIndex = *index;
        }
        settings.delimiter = line.delimiter;
        settings.maxWait = line.timeout;
    } catch (const UsageError& mistake) {
        err << kProgramName << ": " << mistake.what() << '\n';
        return kExitUsage;
    }
    // The raw method's sockets are opened, and every privilege given up,
    // before anything is read that someone else may have written.
    std::unique_ptr<NeighbourEngine> rawEngine;
    if (!line.watch) {
        const bool mayUseRaw = !line.cached && line.method != LookupMethod::kKernel;
        try {
            if (mayUseRaw && system.openRawEngine) {
                rawEngine = system.openRawEngine(line.rate.value_or(kDefaultRawRate));
            }
        } catch (const std::exception& failure) {
            err << kProgramName
                << ": the raw method could not be set up: " << TerminalText(failure.what()) << '\n';
            return kExitSystemError;
        }
        try {
            if (system.dropPrivileges) {
                system.dropPrivileges();
            }
        } catch (const std::exception& failure) {
            err << kProgramName << ": cannot give up privileges: " << TerminalText(failure.what())
                << '\n';
            return kExitSystemError;
        }
        if (!rawEngine && line.method == LookupMethod::kRaw) {
            err << kProgramName << ": " << (system.openRawEngine ? kRawRefused : kNoRawMethod)
                << '\n';
            return kExitUsage;
        }
    }
    try {
        addresses = TargetsOf(line, settings.interfaceIndex, system);
    } catch (const UsageError& mistake) {
        err << kProgramName << ": " << mistake.what() << '\n';
        return kExitUsage;
    }
    if (line.watch) {
        return RunWatch(line, settings.interfaceIndex, addresses, out, err, system);
    }

    VendorSources sources = system.vendors;
    sources.userFile = line.vendorFile;
    VendorNames vendors(std::move(sources));
    ResultNaming naming{system.interfaceNameOf};
    for (const Target& target : addresses) {
        AddressResult shown = Unanswered(target, {});
        naming.column = std::max(naming.column, TerminalText(TargetColumn(shown, naming)).size());
    }
    ProgressLine progress(err, addresses.size(), system.errorIsTerminal && addresses.size() > 1);
    bool allAnswered = true;
    ResultWriter writer(out, line, vendors, naming);
    writer.Open();
    LookupLimits limits = system.limits;
    if (line.cached) {
        limits.tableRoom = nullptr;  // reading the table adds nothing to it
    }
    if (rawEngine) {
        // No table to spare, and the engine keeps its own pace.
        limits.tableRoom = nullptr;
        limits.maxInFlight = kRawMostInFlight;
        limits.startInterval = {};
    }
    std::string broken;
    bool systemFailure = false;
    bool interrupted = false;
    std::unique_ptr<NeighbourEngine> engine = std::move(rawEngine);
    try {
        if (!engine) {
            engine = system.makeEngine(line.cached ? ResolverMode::kCached : ResolverMode::kLive);
        }
    } catch (const std::exception& failure) {
        writer.Close();
        err << kProgramName << ": the system could not be asked: " << TerminalText(failure.what())
            << '\n';
        return kExitSystemError;
    }
    CatchStopSignals();
    try {
        LookUpInOrder(
            addresses, settings, *engine, limits,
            [&](AddressResult&& result) {
                progress.Erase();
                allAnswered = allAnswered && result.Answered();
                systemFailure = systemFailure || result.systemFailure;
                writer.Write(result);
            },
            [&](const LookupProgress& sofar) {
                // Called at least every 100 ms: a stop is heard at once.
                if (StopRequested()) {
                    throw Interrupted{};
                }
                // Results reach a pipe as they come, not when the run ends,
                // and a reader that has gone stops the run at once.
                out.flush();
                if (!out || (system.outputGone && system.outputGone())) {
                    throw std::runtime_error("cannot write the results");
                }
                progress.Show(sofar);
            });
    } catch (const Interrupted&) {
        interrupted = true;
    } catch (const std::exception& failure) {
        broken = failure.what();
    }
    progress.Erase();
    writer.Close();
    out.flush();
    for (const std::string& problem : vendors.TakeProblems()) {
        err << kProgramName << ": " << problem << '\n';
    }
    if (!out || (system.outputGone && system.outputGone())) {
        err << kProgramName << ": cannot write the results\n";
        return kExitSystemError;
    }
    if (!broken.empty()) {
        err << kProgramName << ": the run broke off: " << TerminalText(broken) << '\n';
        return kExitSystemError;
    }
    if (interrupted) {
        return kExitInterrupted;
    }
    if (systemFailure) {
        return kExitSystemError;
    }
    return allAnswered ? kExitAnswered : kExitNoAnswer;
}

}  // namespace varnock::console
