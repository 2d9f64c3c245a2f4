#include <cstdlib>
#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "console/lookups/lookup_command.h"
#include "console/system.h"
#include "lookup/neighbour_engine.h"
#include "lookup/raw_method.h"

int main(int argc, char* argv[]) {
    using namespace varnock;
    // A closed pipe must be a write error that the command reports, not a
    // silent death by signal.
    console::IgnoreBrokenPipes();
    try {
        const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        console::CommandSystem system;
        system.makeEngine = MakeSystemNeighbourEngine;
        if (RawMethodExists()) {
            system.openRawEngine = [](std::uint32_t perSecond) {
                RawMethodSettings settings;
                settings.packetsPerSecond = perSecond;
                return OpenRawNeighbourEngine(settings);
            };
        }
        system.dropPrivileges = DropPrivileges;
        system.outputGone = console::StandardOutputGone;
        system.targets.resolveName = console::ResolveHostName;
        system.targets.interfaceIndexNamed = InterfaceIndexNamed;
        system.interfaceNameOf = InterfaceNameOf;
        system.attachedNetworks = AttachedIpv4Networks;
        system.vendors.cacheDirectory = console::UserCacheDirectory();
        system.vendors.shippedFile = console::ShippedVendorFile();
        // Registries kept elsewhere than Debian keeps them, or none at all
        // (an empty value): a list of files, apart as in PATH.
        if (const char* lists = std::getenv("VARNOCK_VENDOR_LISTS"); lists != nullptr) {
            system.vendors.systemFiles.clear();
            for (std::string_view rest = lists; !rest.empty();) {
                const std::size_t separator = rest.find(console::PathListSeparator());
                if (const auto file = rest.substr(0, separator); !file.empty()) {
                    system.vendors.systemFiles.emplace_back(file);
                }
                rest.remove_prefix(separator == std::string_view::npos ? rest.size()
                                                                       : separator + 1);
            }
        }
        system.errorIsTerminal = console::StandardErrorIsTerminal();
        system.limits.tableRoom = MakeNeighbourTableGauge();
        return console::RunLookupCommand(arguments, std::cout, std::cerr, system);
    } catch (const std::exception& failure) {
        // The system could not be asked at all.
        std::cerr << "varnock-cli: " << failure.what() << '\n';
        return console::kExitSystemError;
    }
}
