#include "web/site/metrics_page.h"

#include <map>
#include <vector>

#include "console/metrics/metrics_text.h"
#include "console/text/hardware_address_order.h"

namespace varnock::web {

std::string MetricsText(const SiteSnapshot& snapshot) {
    // The snapshot keeps devices: each of their addresses goes back to the
    // record the device came from, as that record's neighbours.
    std::map<std::string_view, std::vector<console::SeenNeighbour>> seenIn;
    std::map<HardwareAddressBytes, const std::string*, console::HardwareAddressOrder> names;
    for (const Device& device : snapshot.devices) {
        auto& seen = seenIn[device.record];
        for (const DeviceAddress& address : device.addresses) {
            seen.push_back({address.address, device.interfaceName, device.hardwareAddress,
                            address.firstSeen, address.lastSeen, address.answering});
        }
        if (device.name) {
            names.try_emplace(device.hardwareAddress, &device.name->name);
        }
    }
    std::vector<console::RecordMetrics> records;
    for (const RecordStatus& record : snapshot.records) {
        const auto seen = seenIn.find(record.path);
        records.push_back(
            {record.path, record.state == RecordStatus::State::kReadable, record.saved,
             seen == seenIn.end() ? std::span<const console::SeenNeighbour>()
                                  : std::span<const console::SeenNeighbour>(seen->second),
             &record.told});
    }
    const console::DeviceNameOf nameOf = [&](const HardwareAddressBytes& bytes) {
        const auto found = names.find(bytes);
        return found == names.end() ? nullptr : found->second;
    };
    return console::FormatMetrics(records, nameOf, VARNOCK_VERSION_TEXT);
}

}  // namespace varnock::web
