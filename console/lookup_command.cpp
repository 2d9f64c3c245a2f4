#include "console/lookup_command.h"

#include <exception>
#include <ostream>
#include <string>
#include <vector>

#include "console/address_arguments.h"
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

}  // namespace

int RunLookupCommand(std::span<const std::string_view> arguments, std::ostream& out,
                     std::ostream& err, const CommandSystem& system) {
    CommandLine line;
    std::vector<Ipv4Address> addresses;
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
        if (line.addresses.empty()) {
            err << kUsageLine << '\n';
            return kExitUsage;
        }
        addresses = ExpandAddressArguments(line.addresses);
    } catch (const UsageError& mistake) {
        err << kProgramName << ": " << mistake.what() << '\n';
        return kExitUsage;
    }

    VendorNames vendors(system.vendorListPath);
    ProgressLine progress(err, addresses.size(), system.errorIsTerminal && addresses.size() > 1);
    bool allAnswered = true;
    bool first = true;
    if (line.json) {
        out << '[';
    }
    LookupLimits limits = system.limits;
    if (line.cached) {
        limits.tableRoom = nullptr;  // reading the table adds nothing to it
    }
    std::string broken;
    try {
        LookUpInOrder(
            addresses, line.delimiter,
            [&] {
                return line.cached ? system.makeCacheReader() : system.makeRequest(line.timeout);
            },
            limits,
            [&](AddressResult&& result) {
                progress.Erase();
                allAnswered = allAnswered && result.Answered();
                const auto vendor = vendors.Of(result);
                if (line.json) {
                    out << (first ? "\n  " : ",\n  ") << JsonObject(result, vendor);
                } else {
                    out << TextLine(result, vendor) << '\n';
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
    if (line.json) {
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
