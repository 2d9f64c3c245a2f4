#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "console/lookups/concurrent_lookups.h"
#include "console/lookups/targets.h"
#include "console/system.h"
#include "console/vendors/vendor_names.h"
#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_feed.h"

namespace varnock::console {

// Exit statuses of varnock-cli.
inline constexpr int kExitAnswered = 0;       // every address answered
inline constexpr int kExitNoAnswer = 1;       // at least one did not
inline constexpr int kExitUsage = 2;          // nothing was asked: the command line is wrong
inline constexpr int kExitSystemError = 2;    // the results could not be written, a lookup
                                              // could not be made, or the run broke
inline constexpr int kExitInterrupted = 130;  // SIGINT or SIGTERM (Ctrl+C) ended the run early

// What the command takes from the system it runs on: main gives the real
// one, tests their own.
struct CommandSystem {
    // The engine a run looks up through: live, or the table as it stands.
    std::function<std::unique_ptr<NeighbourEngine>(ResolverMode mode)> makeEngine;
    // The raw method at that many requests a second (OpenRawNeighbourEngine):
    // nothing where the process lacks the capability; none: the system has
    // no raw method.
    std::function<std::unique_ptr<NeighbourEngine>(std::uint32_t perSecond)> openRawEngine;
    // Gives up the process's privileges for good; called once the raw
    // method's sockets are open, before any target is read. None: nothing
    // to give up.
    std::function<void()> dropPrivileges;
    // Whether whoever reads `out` has gone (a closed pipe), so that a run
    // stops at once rather than when it next writes; none: never asked.
    std::function<bool()> outputGone;
    // Host names and interface names.
    TargetSystem targets;
    std::function<std::string(std::uint32_t index)> interfaceNameOf;
    // The networks --localnet means (only one interface's, when not 0).
    std::function<std::vector<AttachedNetwork>(std::uint32_t interfaceIndex)> attachedNetworks;
    // What --watch listens to (only one interface's, when not 0), for a
    // watch whose lookups `engine` makes: the feed runs it while it waits.
    std::function<std::unique_ptr<NeighbourFeed>(NeighbourEngine& engine,
                                                 std::uint32_t interfaceIndex)>
        makeFeed;
    // What -f reads ("-": standard input).
    std::function<std::unique_ptr<InputFile>(const std::string& path)> openInput = OpenInput;
    // The vendor lists; main names the user's cache for their compact form.
    VendorSources vendors{{std::begin(kSystemVendorFiles), std::end(kSystemVendorFiles)}, {}, {}};
    // Progress is drawn on `err` only when it is a terminal.
    bool errorIsTerminal = false;
    LookupLimits limits;
};

// Runs `varnock-cli [OPTION]... TARGET...` with `arguments` (without the
// program name): one line (or JSON object) per address on `out`, in the
// order given, and returns kExitAnswered or kExitNoAnswer; or, when the
// command line is wrong, one line on `err` naming the mistake and
// kExitUsage, before anything is asked. --help and --version write to `out`
// and return kExitAnswered. When `out` cannot be written (a full disk, a
// closed pipe), the run breaks off or a lookup could not be made at all (no
// descriptor left), one line on `err` says so and the result is
// kExitSystemError; a JSON document begun is closed first. A stop signal
// (SIGINT, SIGTERM) ends the lookups in flight: the results so far are
// written, a JSON document closed, and the result is kExitInterrupted.
// --method raw where the raw method cannot be had is kExitUsage, with a line
// that says how an administrator grants it. Except for --watch, every
// privilege is given up before any target is read.
int RunLookupCommand(std::span<const std::string_view> arguments, std::ostream& out,
                     std::ostream& err, const CommandSystem& system);

}  // namespace varnock::console
