#include "console/lookup_command.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/progress_line.h"
#include "console/result_text.h"
#include "console/terminal_text.h"
#include "console/usage_error.h"

namespace varnock::console {
namespace {

constexpr std::string_view kProgramName = "varnock-cli";
constexpr std::string_view kVersion = VARNOCK_VERSION_TEXT;

// Reads the vendor list the first time an answer needs it: a run with no
// answer never pays for reading a few megabytes.
class VendorNames {
public:
    explicit VendorNames(const std::string& path) : path_(path) {}

    std::optional<std::string_view> Of(const AddressResult& result) {
        if (!result.Answered()) {
            return std::nullopt;
        }
        if (!loaded_) {
            list_ = VendorList::Load(path_);
            loaded_ = true;
        }
        return list_ ? list_->Find(result.bytes) : std::nullopt;
    }

private:
    const std::string& path_;
    bool loaded_ = false;
    std::optional<VendorList> list_;
};

// The targets of a file, one a line; blank lines and "#" comments skipped.
std::vector<std::string> TargetLines(std::istream& in) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        const auto last = line.find_last_not_of(" \t\r");
        lines.push_back(line.substr(first, last - first + 1));
    }
    return lines;
}

// Every target the command line names: its own, then each file's, then the
// local networks.
std::vector<Target> TargetsOf(const CommandLine& line, std::uint32_t interfaceIndex,
                              const CommandSystem& system) {
    std::vector<Target> targets = ExpandTargets(line.addresses, system.targets);
    for (const std::string& file : line.files) {
        std::vector<std::string> lines;
        if (file == "-") {
            if (system.standardInput == nullptr) {
                throw UsageError("-f -: no standard input to read");
            }
            lines = TargetLines(*system.standardInput);
        } else {
            std::ifstream in(file);
            if (!in) {
                throw UsageError("-f " + Quoted(file) + ": cannot be read");
            }
            lines = TargetLines(in);
        }
        AppendWithinLimit(targets, ExpandTargets(lines, system.targets), file);
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
        if (line.help) {
            out << HelpText();
            return kExitAnswered;
        }
        if (line.version) {
            out << kProgramName << ' ' << kVersion << '\n';
            return kExitAnswered;
        }
        if (line.addresses.empty() && line.files.empty() && !line.localNetworks) {
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
        addresses = TargetsOf(line, settings.interfaceIndex, system);
    } catch (const UsageError& mistake) {
        err << kProgramName << ": " << mistake.what() << '\n';
        return kExitUsage;
    }

    VendorNames vendors(system.vendorListPath);
    ResultNaming naming{system.interfaceNameOf};
    for (const Target& target : addresses) {
        AddressResult shown = Unanswered(target, {});
        naming.column = std::max(naming.column, TerminalText(TargetColumn(shown, naming)).size());
    }
    ProgressLine progress(err, addresses.size(), system.errorIsTerminal && addresses.size() > 1);
    bool allAnswered = true;
    bool first = true;
    if (line.json && !line.quiet) {
        out << '[';
    }
    LookupLimits limits = system.limits;
    if (line.cached) {
        limits.tableRoom = nullptr;  // reading the table adds nothing to it
    }
    std::string broken;
    try {
        LookUpInOrder(
            addresses, settings,
            [&] {
                return system.makeResolver(line.cached ? ResolverMode::kCached
                                                       : ResolverMode::kLive);
            },
            limits,
            [&](AddressResult&& result) {
                progress.Erase();
                allAnswered = allAnswered && result.Answered();
                if (line.quiet) {
                    if (result.Answered()) {
                        out << TerminalText(*result.hardwareAddress) << '\n';
                    }
                } else if (line.json) {
                    out << (first ? "\n  " : ",\n  ")
                        << JsonObject(result, vendors.Of(result), naming);
                } else {
                    out << TextLine(result, vendors.Of(result), naming) << '\n';
                }
                first = false;
            },
            [&](const LookupProgress& sofar) {
                // Results reach a pipe as they come, not when the run ends.
                out.flush();
                progress.Show(sofar);
            });
    } catch (const std::exception& failure) {
        broken = failure.what();
    }
    progress.Erase();
    if (line.json && !line.quiet) {
        out << "\n]\n";
    }
    out.flush();
    if (!broken.empty()) {
        err << kProgramName << ": the run broke off: " << TerminalText(broken) << '\n';
        return kExitSystemError;
    }
    if (!out) {
        err << kProgramName << ": cannot write the results\n";
        return kExitSystemError;
    }
    return allAnswered ? kExitAnswered : kExitNoAnswer;
}

}  // namespace varnock::console
