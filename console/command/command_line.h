#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnock::console {

inline constexpr std::chrono::milliseconds kLongestTimeout{3'600'000};

// How the results are written.
enum class OutputFormat {
    kText,       // one line per address for a person
    kJson,       // one array of objects
    kJsonLines,  // one object per line, each written as soon as it is final
    kCsv,        // a header, then one record per address (RFC 4180)
};

// How lookups ask (--method).
enum class LookupMethod {
    kAuto,    // the raw method where the process has the capability, the kernel's otherwise
    kKernel,  // the kernel resolves: no privilege, bound by its neighbour table
    kRaw,     // the program sends ARP and neighbour discovery itself (CAP_NET_RAW)
};

inline constexpr std::uint32_t kFewestPerSecond = 1;
inline constexpr std::uint32_t kMostPerSecond = 100'000;

struct CommandLine {
    bool help = false;
    bool version = false;
    OutputFormat format = OutputFormat::kText;
    std::optional<std::string> vendorFile;     // a user's list, wins over the system's
    bool cached = false;                       // answer from the neighbour table, sending nothing
    bool quiet = false;                        // only the hardware addresses
    bool localNetworks = false;                // every directly attached IPv4 network
    std::optional<std::string> interfaceName;  // -I: look up only through this one
    std::vector<std::string> files;            // targets one per line; "-": standard input
    bool watch = false;                        // report changes of the neighbour table
    std::chrono::milliseconds every{5 * 60 * 1000};  // --watch: how often targets are looked up
    std::optional<std::string> stateFile;            // --watch: the record kept across runs
    std::optional<std::string> logFile;              // --watch: events as JSON lines there too
    // --watch: how long the record keeps an address that is not seen.
    std::chrono::seconds forgetAfter{30 * 24 * 3600};
    std::optional<std::string> execCommand;  // --watch: run for each event
    std::string delimiter = ":";
    std::optional<std::chrono::milliseconds> timeout;
    LookupMethod method = LookupMethod::kAuto;
    std::optional<std::uint32_t> rate;   // --rate: the raw method's requests a second
    std::vector<std::string> addresses;  // the targets as typed, not yet read
};

// Reads `varnock-cli [OPTION]... ADDRESS...` (arguments without the program
// name). Options may come anywhere before "--"; after it every argument is
// an address. --help and --version end the reading: nothing after them is
// looked at. Throws UsageError for an unknown option, an option without its
// value, or a timeout that is not a whole number of milliseconds from 1 to
// kLongestTimeout, a method other than auto, kernel and raw, or a rate that
// is not a whole number from kFewestPerSecond to kMostPerSecond. Addresses are not read here, nor
// counted.
CommandLine ReadCommandLine(std::span<const std::string_view> arguments);

// One line: what ReadCommandLine accepts.
inline constexpr std::string_view kUsageLine =
    "usage: varnock-cli [-q | --json | --jsonl | --csv] [--cached] [-I INTERFACE] "
    "[--delimiter TEXT] [--timeout MS] [--vendor-file FILE] [--method auto|kernel|raw] [--rate N] "
    "[-l] [-f FILE] TARGET...\n"
    "       varnock-cli --watch [--every DURATION] [--state FILE] [--jsonl] [--log FILE] "
    "[--forget-after AGE] [--exec COMMAND] [-I INTERFACE] [TARGET...]";

// The full text --help prints.
std::string HelpText();

}  // namespace varnock::console
