#include "console/command/command_line.h"

#include <charconv>
#include <cstdint>

#include "console/command/usage_error.h"

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

LookupMethod ReadMethod(std::string_view text) {
    if (text == "auto") {
        return LookupMethod::kAuto;
    }
    if (text == "kernel") {
        return LookupMethod::kKernel;
    }
    if (text == "raw") {
        return LookupMethod::kRaw;
    }
    throw UsageError("--method " + Quoted(text) + ": not one of auto, kernel, raw");
}

std::uint32_t ReadRate(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        value < kFewestPerSecond || value > kMostPerSecond) {
        throw UsageError(
            "--rate " + Quoted(text) + ": not a whole number of requests a second from " +
            std::to_string(kFewestPerSecond) + " to " + std::to_string(kMostPerSecond));
    }
    return static_cast<std::uint32_t>(value);
}

// "90s", "5m", "1h", or milliseconds alone; from 1 s to a day.
std::chrono::milliseconds ReadDuration(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const std::string_view unit = text.substr(static_cast<std::size_t>(end - text.data()));
    std::uint64_t scale = 0;
    if (unit.empty() || unit == "ms") {
        scale = 1;
    } else if (unit == "s") {
        scale = 1000;
    } else if (unit == "m") {
        scale = 60'000;
    } else if (unit == "h") {
        scale = 3'600'000;
    }
    constexpr std::uint64_t kDay = 86'400'000;
    if (error != std::errc{} || scale == 0 || value == 0 || value > kDay || value * scale < 1000 ||
        value * scale > kDay) {
        throw UsageError("--every " + Quoted(text) +
                         ": not a duration from 1s to 24h (such as 90s, 5m, 1h)");
    }
    return std::chrono::milliseconds{static_cast<std::chrono::milliseconds::rep>(value * scale)};
}

// "30d", "12h", "90m", "45s"; from 1 s to ten years.
std::chrono::seconds ReadAge(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const std::string_view unit = text.substr(static_cast<std::size_t>(end - text.data()));
    constexpr std::uint64_t kLongest = 3650ULL * 86'400;
    const std::uint64_t scale = unit == "s"   ? 1
                                : unit == "m" ? 60
                                : unit == "h" ? 3600
                                : unit == "d" ? 86'400
                                              : 0;
    if (error != std::errc{} || scale == 0 || value == 0 || value > kLongest / scale) {
        throw UsageError("--forget-after " + Quoted(text) +
                         ": not an age from 1s to 3650d (such as 30d, 12h, 90m, 45s)");
    }
    return std::chrono::seconds{static_cast<std::chrono::seconds::rep>(value * scale)};
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
        // --name=value, --name value, -n value or -nvalue, for the options
        // that take a value.
        const auto value = [&](std::string_view name,
                               std::string_view shortName = {}) -> std::optional<std::string_view> {
            if (argument.size() > name.size() && argument.starts_with(name) &&
                argument[name.size()] == '=') {
                return argument.substr(name.size() + 1);
            }
            if (!shortName.empty() && argument.size() > shortName.size() &&
                argument.starts_with(shortName)) {
                return argument.substr(shortName.size());
            }
            if (argument != name && (shortName.empty() || argument != shortName)) {
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
            line.format = OutputFormat::kJson;
        } else if (argument == "--jsonl") {
            line.format = OutputFormat::kJsonLines;
        } else if (argument == "--csv") {
            line.format = OutputFormat::kCsv;
        } else if (const auto vendors = value("--vendor-file")) {
            line.vendorFile = std::string(*vendors);
        } else if (argument == "--watch") {
            line.watch = true;
        } else if (const auto every = value("--every")) {
            line.every = ReadDuration(*every);
        } else if (const auto state = value("--state")) {
            line.stateFile = std::string(*state);
        } else if (const auto log = value("--log")) {
            line.logFile = std::string(*log);
        } else if (const auto age = value("--forget-after")) {
            line.forgetAfter = ReadAge(*age);
        } else if (const auto command = value("--exec")) {
            line.execCommand = std::string(*command);
        } else if (argument == "--cached") {
            line.cached = true;
        } else if (argument == "-q" || argument == "--quiet") {
            line.quiet = true;
        } else if (argument == "-l" || argument == "--localnet") {
            line.localNetworks = true;
        } else if (const auto chosen = value("--interface", "-I")) {
            line.interfaceName = std::string(*chosen);
        } else if (const auto file = value("--file", "-f")) {
            line.files.emplace_back(*file);
        } else if (const auto delimiter = value("--delimiter")) {
            line.delimiter = *delimiter;
        } else if (const auto timeout = value("--timeout")) {
            line.timeout = ReadTimeout(*timeout);
        } else if (const auto method = value("--method")) {
            line.method = ReadMethod(*method);
        } else if (const auto rate = value("--rate")) {
            line.rate = ReadRate(*rate);
        } else {
            throw UsageError(Quoted(argument) + ": unknown option");
        }
    }
    return line;
}

std::string HelpText() {
    return std::string(kUsageLine) + R"(
Prints the hardware (MAC) address of each machine on a directly attached
network, one line per address in the order given. Needs no privileges;
with CAP_NET_RAW it asks the hosts itself, faster (--method).

TARGET is any of
  192.0.2.2        an IPv4 address, also in inet_addr's shorter forms (10.1)
  2001:db8::2      an IPv6 address; a link-local one with its interface,
                   fe80::1%eth0 (or -I eth0)
  192.0.2.0/24     every host address of a network (at most a /16)
  2001:db8::/120   every address of an IPv6 network (at most a /120)
  192.0.2.10-20    a range (also 192.0.2.10-192.0.2.20)
  NAME             every IPv4 and IPv6 address of a host name

  -I, --interface NAME  look up only through that interface
  -l, --localnet   every directly attached IPv4 network of the interfaces
                   that use ARP (or of -I)
  -f, --file FILE  read targets from FILE, one a line ("-": standard input;
                   blank lines and lines starting with # are skipped; the
                   first line that breaks a rule is named)
  -q, --quiet      print only the hardware addresses; the exit status tells
                   whether every target answered

  --json           one JSON array of objects instead of lines
  --jsonl          one JSON object per line, each as soon as it is final
  --csv            a header line, then one record per address (RFC 4180)
                   Fields: target, address, hardware_address, vendor,
                   locally_administered, reason, interface, from_cache,
                   confirmed, state, seconds_since_confirmed
  --vendor-file FILE  a list of your own (the IEEE's oui.txt format, or
                   PREFIX<TAB>NAME lines with 24-, 28- or 36-bit prefixes),
                   which wins over the system's
  --cached         answer from the system's neighbour table as it stands,
                   sending nothing; an address the system has not confirmed
                   lately is marked with its state and how long ago it was
  --delimiter TEXT put TEXT between the bytes of the hardware address
                   (default ":")
  --timeout MS     wait at most MS milliseconds for each address (Linux;
                   without it the system's own give-up time applies)
  --method METHOD  how to ask: kernel (the system resolves; no privilege,
                   bound by its neighbour table), raw (the program sends ARP
                   and neighbour discovery itself; needs CAP_NET_RAW, which
                   it gives up before it sends or reads anything), or auto
                   (the default: raw where the capability is there)
  --rate N         raw method: at most N requests a second (default 1200);
                   each address is asked twice at most, 0.5 s then 1 s apart,
                   and given up 1.5 s after its first request
  --watch          report, one line each as it happens, every new neighbour,
                   changed hardware address, address that stopped answering
                   or is back, hardware address that answers for several
                   IPv4 addresses on a link, and burst of new addresses;
                   until interrupted (Ctrl+C)
  --every DURATION with --watch: look the targets up this often (default
                   5m; 90s, 5m, 1h)
  --state FILE     with --watch: keep what was seen there across runs, so
                   that only what is new since the record began is new
  --log FILE       with --watch: also append each event there as a JSON line
  --forget-after AGE  with --watch: drop from the record what was not seen
                   for that long (default 30d; 12h, 90m, 45s)
  --exec COMMAND   with --watch: run COMMAND (no shell, one at a time, at
                   most 10 s) for each event, the event as JSON on its
                   standard input and in VARNOCK_EVENT
  -h, --help       show this text
  -V, --version    show the version

Vendor names come from the IEEE's registries when Debian's ieee-data is
installed (/usr/share/ieee-data: oui36.txt, iab.txt, mam.txt, oui.txt), by
the longest matching prefix; a locally administered address is marked so.
A lookup is real network traffic: it sends ARP or neighbour discovery on the
network each address belongs to. Only look up networks you may probe.
Without --cached an answer is always one the host or the system confirmed
for this lookup. Exit status: 0 when every address answered, 1 when any did
not, 2 for a mistake in the command line or a system error such as output
that cannot be written (one line on standard error says which), 130 when
Ctrl+C stopped the run (the results so far are written).
)";
}

}  // namespace varnock::console
