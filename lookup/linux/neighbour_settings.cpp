#include "lookup/linux/neighbour_settings.h"

#include <algorithm>
#include <fstream>
#include <optional>

namespace varnock::linux_backend {
namespace {

// The kernel's defaults, for an interface whose settings cannot be read.
constexpr long long kDefaultMulticastProbes = 3;
constexpr long long kDefaultUnicastProbes = 3;
constexpr long long kDefaultApplicationProbes = 0;
constexpr long long kDefaultMulticastReprobes = 0;
constexpr long long kDefaultRetransmitMs = 1000;
constexpr long long kDefaultFirstProbeDelaySeconds = 5;

// Any one setting past this is as good as endless; capping each keeps the
// sums and products below far from overflowing.
constexpr long long kLargestSetting = 1'000'000'000;

std::optional<long long> ReadSetting(const std::filesystem::path& file) {
    std::ifstream in(file);
    long long value = 0;
    if (in >> value && value >= 0) {
        return std::min(value, kLargestSetting);
    }
    return std::nullopt;
}

class Settings {
public:
    Settings(const std::string& interfaceName, const std::filesystem::path& root) {
        // An empty or odd name must not walk out of the settings folder.
        const bool usableName = !interfaceName.empty() && interfaceName != "." &&
                                interfaceName != ".." &&
                                interfaceName.find('/') == std::string::npos;
        folder_ = root / (usableName ? interfaceName : "default");
    }
    long long Read(const char* name, long long fallback) const {
        return ReadSetting(folder_ / name).value_or(fallback);
    }

private:
    std::filesystem::path folder_;
};

std::chrono::milliseconds Capped(long long milliseconds) {
    return std::min(std::chrono::milliseconds(milliseconds), kLongestNeighbourWait);
}

}  // namespace

std::chrono::milliseconds NeighbourGiveUpTime(const std::string& interfaceName,
                                              const std::filesystem::path& settingsRoot) {
    const Settings settings(interfaceName, settingsRoot);
    const long long probes = settings.Read("mcast_solicit", kDefaultMulticastProbes) +
                             settings.Read("app_solicit", kDefaultApplicationProbes);
    return Capped(probes * settings.Read("retrans_time_ms", kDefaultRetransmitMs));
}

std::chrono::milliseconds NeighbourConfirmTime(const std::string& interfaceName,
                                               const std::filesystem::path& settingsRoot) {
    const Settings settings(interfaceName, settingsRoot);
    const long long probes = settings.Read("ucast_solicit", kDefaultUnicastProbes) +
                             settings.Read("app_solicit", kDefaultApplicationProbes) +
                             settings.Read("mcast_resolicit", kDefaultMulticastReprobes);
    const long long delay =
        settings.Read("delay_first_probe_time", kDefaultFirstProbeDelaySeconds) * 1000;
    return Capped(delay + probes * settings.Read("retrans_time_ms", kDefaultRetransmitMs));
}

}  // namespace varnock::linux_backend
