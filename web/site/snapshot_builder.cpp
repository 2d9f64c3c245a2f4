#include "web/site/snapshot_builder.h"

#include <algorithm>
#include <map>
#include <utility>
#include <variant>

#include "console/text/address_text.h"
#include "console/text/hardware_address_order.h"
#include "console/vendors/vendor_names.h"
#include "console/watch/record_file_reader.h"

namespace varnock::web {
namespace {

std::string PlainAddress(const IpAddress& address) {
    return console::AddressText(address, [](std::uint32_t) { return std::string(); });
}

bool AddressBefore(const DeviceAddress& a, const DeviceAddress& b) {
    if (a.address.family != b.address.family) {
        return a.address.family == IpAddress::Family::kV4;
    }
    return a.address.bytes < b.address.bytes;
}

}  // namespace

RecordRead ReadRecordText(const std::string& path, std::string_view text,
                          WallClock::time_point saved) {
    RecordRead read;
    read.status.path = path;
    read.status.saved = saved;
    auto parsed = console::ParseWatchRecord(text);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        read.status.state = RecordStatus::State::kDamaged;
        read.status.problem = std::move(*problem);
        return read;
    }
    auto& record = std::get<console::WatchRecordRead>(parsed);
    read.neighbours = std::move(record.seen);
    read.status.told = std::move(record.told);
    read.status.neighbours = read.neighbours.size();
    if (!read.neighbours.empty() &&
        std::all_of(read.neighbours.begin(), read.neighbours.end(), [&](const auto& seen) {
            return seen.interfaceName == read.neighbours.front().interfaceName;
        })) {
        read.status.interfaceName = read.neighbours.front().interfaceName;
    }
    return read;
}

RecordRead UnreadableRecord(const std::string& path, RecordStatus::State state,
                            std::string problem) {
    RecordRead read;
    read.status.path = path;
    read.status.state = state;
    read.status.problem = std::move(problem);
    return read;
}

SiteSnapshot AssembleSnapshot(std::vector<RecordRead> records, std::vector<LogRead> logs,
                              const console::DeviceNames& names, const VendorLookup& vendorOf,
                              WallClock::time_point now) {
    SiteSnapshot snapshot;
    snapshot.generated = now;
    std::map<std::pair<std::string, HardwareAddressBytes>, Device> devices;
    std::map<HardwareAddressBytes, std::optional<std::string>, console::HardwareAddressOrder>
        vendors;
    for (RecordRead& record : records) {
        for (const console::SeenNeighbour& seen : record.neighbours) {
            auto [at, added] =
                devices.try_emplace({seen.interfaceName, seen.hardwareAddress}, Device{});
            Device& device = at->second;
            if (added) {
                device.interfaceName = seen.interfaceName;
                device.hardwareAddress = seen.hardwareAddress;
                device.hardwareText = HardwareAddressText(seen.hardwareAddress, ":");
                device.firstSeen = seen.firstSeen;
                device.lastSeen = seen.lastSeen;
                device.record = record.status.path;
                device.locallyAdministered = console::IsLocallyAdministered(seen.hardwareAddress);
                if (const console::DeviceName* name = names.Of(seen.hardwareAddress)) {
                    device.name = *name;
                }
                auto [vendor, asked] = vendors.try_emplace(seen.hardwareAddress);
                if (asked && vendorOf) {
                    vendor->second = vendorOf(seen.hardwareAddress);
                }
                device.vendor = vendor->second;
            }
            device.firstSeen = std::min(device.firstSeen, seen.firstSeen);
            device.lastSeen = std::max(device.lastSeen, seen.lastSeen);
            device.up = device.up || seen.answering;
            device.addresses.push_back({seen.address, PlainAddress(seen.address), seen.answering,
                                        seen.firstSeen, seen.lastSeen});
        }
        snapshot.records.push_back(std::move(record.status));
    }
    snapshot.devices.reserve(devices.size());
    for (auto& [key, device] : devices) {
        std::sort(device.addresses.begin(), device.addresses.end(), AddressBefore);
        snapshot.devices.push_back(std::move(device));
    }
    for (LogRead& log : logs) {
        std::move(log.events.begin(), log.events.end(), std::back_inserter(snapshot.events));
        snapshot.logs.push_back(std::move(log.status));
    }
    std::stable_sort(snapshot.events.begin(), snapshot.events.end(),
                     [](const LogEvent& a, const LogEvent& b) { return a.time < b.time; });
    snapshot.nameProblems = names.Problems();
    return snapshot;
}

}  // namespace varnock::web
