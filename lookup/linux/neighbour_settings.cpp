#include "lookup/linux/neighbour_settings.h"

#include <fstream>
#include <optional>

namespace varnock::linux_backend {
namespace {

// The kernel's defaults, for an interface whose settings cannot be read.
constexpr long kDefaultMulticastProbes = 3;
constexpr long kDefaultApplicationProbes = 0;
constexpr long kDefaultRetransmitMs = 1000;

std::optional<long> ReadSetting(const std::filesystem::path& file) {
    std::ifstream in(file);
    long value = 0;
    if (in >> value && value >= 0) {
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::chrono::milliseconds NeighbourGiveUpTime(const std::string& interfaceName,
                                              const std::filesystem::path& settingsRoot) {
    // An empty or odd name must not walk out of the settings folder.
    const bool usableName = !interfaceName.empty() && interfaceName != "." &&
                            interfaceName != ".." && interfaceName.find('/') == std::string::npos;
    const auto folder = settingsRoot / (usableName ? interfaceName : "default");
    const long probes = ReadSetting(folder / "mcast_solicit").value_or(kDefaultMulticastProbes) +
                        ReadSetting(folder / "app_solicit").value_or(kDefaultApplicationProbes);
    const long interval = ReadSetting(folder / "retrans_time_ms").value_or(kDefaultRetransmitMs);
    return std::chrono::milliseconds(probes * interval);
}

}  // namespace varnock::linux_backend
