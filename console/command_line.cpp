#include "console/command_line.h"

#include <charconv>
#include <cstdint>

#include "console/usage_error.h"

namespace varnock::console {
namespace {

std::chrono::milliseconds ReadTimeout(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value == 0 ||
        value > static_cast<std::uint64_t>(kLongestTimeout.count())) {
        throw UsageError("--timeout " + Quoted(text) +
                         ": not a whole number of milliseconds from 1 to " +
                         std::to_string(kLongestTimeout.count()));
    }
    return std::chrono::milliseconds{static_cast<std::chrono::milliseconds::rep>(value)};
}

}  // namespace

CommandLine ReadCommandLine(std::span<const std::string_view> arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        // An address never starts with a dash; "-" alone is no option either.
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            line.addresses.emplace_back(argument);
            continue;
        }
        // --name=value or --name value, for the options that take a value.
        const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
            if (argument.size() > name.size() && argument.starts_with(name) &&
                argument[name.size()] == '=') {
                return argument.substr(name.size() + 1);
            }
            if (argument != name) {
                return std::nullopt;
            }
            if (i + 1 == arguments.size()) {
                throw UsageError(std::string(name) + " needs a value");
            }
            return arguments[++i];
        };
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            line.help = true;
            return line;
        } else if (argument == "-V" || argument == "--version") {
            line.version = true;
            return line;
        } else if (argument == "--json") {
            line.json = true;
        } else if (argument == "--cached") {
            line.cached = true;
        } else if (const auto delimiter = value("--delimiter")) {
            line.delimiter = *delimiter;
        } else if (const auto timeout = value("--timeout")) {
            line.timeout = ReadTimeout(*timeout);
        } else {
            throw UsageError(Quoted(argument) + ": unknown option");
        }
    }
    return line;
}

std::string HelpText() {
    return std::string(kUsageLine) + R"(
Prints the hardware (MAC) address of each machine on a directly attached
IPv4 network, one line per address in the order given. Needs no privileges.

  ADDRESS          an IPv4 address, also in inet_addr's shorter forms (10.1)
  NETWORK/BITS     every host address of a network, e.g. 192.0.2.0/24
                   (at most a /16)

  --json           one JSON array of {"address", "hardware_address",
                   "reason", "vendor"} objects instead of lines
  --cached         answer from the system's neighbour table as it stands,
                   sending nothing; an address the system has not confirmed
                   lately is marked with its state and how long ago it was
                   (JSON: "confirmed", "state", "seconds_since_confirmed")
  --delimiter TEXT put TEXT between the bytes of the hardware address
                   (default ":")
  --timeout MS     wait at most MS milliseconds for each address (Linux;
                   without it the system's own give-up time applies)
  -h, --help       show this text
  -V, --version    show the version

Vendor names come from /usr/share/ieee-data/oui.txt when it is installed.
Without --cached an answer is always one the host or the system confirmed
for this lookup. Exit status: 0 when every address answered, 1 when any did
not, 2 for a mistake in the command line or a system error (one line on
standard error says which).
)";
}

}  // namespace varnock::console
