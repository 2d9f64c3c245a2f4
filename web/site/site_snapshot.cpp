#include "web/site/site_snapshot.h"

#include <algorithm>
#include <tuple>

namespace varnock::web {

const char* StateName(RecordStatus::State state) {
    switch (state) {
        case RecordStatus::State::kReadable:
            return "readable";
        case RecordStatus::State::kMissing:
            return "missing";
        case RecordStatus::State::kUnreadable:
            return "unreadable";
        case RecordStatus::State::kDamaged:
            return "damaged";
    }
    return "?";
}

const Device* SiteSnapshot::Find(const std::string& interfaceName,
                                 const HardwareAddressBytes& hardwareAddress) const {
    const auto found =
        std::lower_bound(devices.begin(), devices.end(), std::tie(interfaceName, hardwareAddress),
                         [](const Device& device, const auto& key) {
                             return std::tie(device.interfaceName, device.hardwareAddress) < key;
                         });
    return found != devices.end() && found->interfaceName == interfaceName &&
                   found->hardwareAddress == hardwareAddress
               ? &*found
               : nullptr;
}

std::vector<const LogEvent*> SiteSnapshot::HistoryOf(const Device& device) const {
    std::vector<const LogEvent*> history;
    for (const LogEvent& event : events) {
        if (event.interfaceName == device.interfaceName &&
            (event.hardwareAddress == device.hardwareAddress ||
             event.previous == device.hardwareAddress)) {
            history.push_back(&event);
        }
    }
    return history;
}

}  // namespace varnock::web
