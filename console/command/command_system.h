#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/lookups/concurrent_lookups.h"
#include "console/lookups/targets.h"
#include "console/system.h"
#include "console/names/device_names.h"
#include "console/vendors/vendor_names.h"
#include "lookup/neighbour_engine.h"

namespace varnock::console {

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
    // What -f reads ("-": standard input).
    std::function<std::unique_ptr<InputFile>(const std::string& path)> openInput = OpenInput;
    // The vendor lists; main names the user's cache for their compact form.
    VendorSources vendors{{std::begin(kSystemVendorFiles), std::end(kSystemVendorFiles)}, {}, {}};
    // The names of known devices read before --names, when it exists.
    std::optional<std::string> namesFile{kSystemNamesFile};
    // Progress is drawn on `err` only when it is a terminal.
    bool errorIsTerminal = false;
    LookupLimits limits;
};

}  // namespace varnock::console
