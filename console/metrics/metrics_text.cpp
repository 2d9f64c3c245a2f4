#include "console/metrics/metrics_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "console/metrics/label_text.h"
#include "console/text/address_text.h"
#include "console/watch/event_text.h"

namespace varnock::console {
namespace {

using Labels = std::initializer_list<std::pair<std::string_view, std::string_view>>;

// The text of one scrape, a metric at a time.
class Exposition {
public:
    // The family's HELP and TYPE lines; its samples follow.
    void Family(std::string_view name, std::string_view type, std::string_view help) {
        text_.append("# HELP ").append(name).append(" ").append(help).append("\n");
        text_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    }
    void Sample(std::string_view name, Labels labels, std::string_view value) {
        text_.append(name);
        if (labels.size() != 0) {
            text_ += '{';
            bool first = true;
            for (const auto& [label, labelValue] : labels) {
                text_.append(first ? "" : ",").append(label).append("=\"");
                text_.append(LabelValue(labelValue)).append("\"");
                first = false;
            }
            text_ += '}';
        }
        text_.append(" ").append(value).append("\n");
    }
    void Sample(std::string_view name, Labels labels, std::uint64_t value) {
        Sample(name, labels, std::to_string(value));
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

// Seconds since 1970 to the millisecond, as Prometheus' times are given.
std::string SecondsText(WallClock::time_point time) {
    const auto milliseconds =
        std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch()).count();
    auto seconds = milliseconds / 1000;
    auto fraction = milliseconds % 1000;
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    std::string text = std::to_string(seconds);
    if (fraction != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%03d", static_cast<int>(fraction));
        text += digits;
        while (text.back() == '0') {
            text.pop_back();
        }
    }
    return text;
}

std::string PlainAddressText(IpAddress address) {
    address.scope = 0;  // the interface is a label of its own: no "%..."
    return PlainAddress(address);
}

// A known device: one hardware address on one interface, with all its
// addresses.
struct KnownDevice {
    std::string hardwareText;
    const std::string* name = nullptr;
    bool up = false;
    WallClock::time_point lastSeen = WallClock::time_point::min();
    std::vector<IpAddress> addresses;
};

// What one interface comes to, over every record.
struct InterfaceMetrics {
    // [family][state]: IPv4 0, IPv6 1; stopped 0, answering 1.
    std::array<std::array<std::uint64_t, 2>, 2> neighbours{};
    std::vector<KnownDevice> known;  // by hardware address
    std::uint64_t unknown = 0;
    std::optional<WallClock::time_point> newestUnknown;  // first seen
    std::map<WatchEvent::Kind, std::uint64_t> events;
};

// Addresses in a stable order: IPv4 before IPv6, then by their bytes.
bool AddressBefore(const IpAddress& a, const IpAddress& b) {
    return std::tie(a.family, a.bytes) < std::tie(b.family, b.bytes);
}

// Hardware addresses by their bytes, which is also the order of their texts.
// Compared by hand: GCC 12 at -O3 takes the vector's own ordering for a read
// past the end (see console/event_burst.h).
int CompareBytes(const HardwareAddressBytes& a, const HardwareAddressBytes& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string AddressesLabel(std::vector<IpAddress> addresses) {
    std::sort(addresses.begin(), addresses.end(), AddressBefore);
    std::string text;
    for (const IpAddress& address : addresses) {
        text.append(text.empty() ? "" : ",").append(PlainAddressText(address));
    }
    return text;
}

// Each address once, where records overlap the one seen last.
std::vector<const SeenNeighbour*> EachAddressOnce(std::vector<const SeenNeighbour*> all) {
    const auto key = [](const SeenNeighbour* n) {
        return std::tie(n->interfaceName, n->address.family, n->address.bytes);
    };
    std::sort(all.begin(), all.end(), [&](const SeenNeighbour* a, const SeenNeighbour* b) {
        return key(a) < key(b) || (key(a) == key(b) && a->lastSeen > b->lastSeen);
    });
    all.erase(std::unique(
                  all.begin(), all.end(),
                  [&](const SeenNeighbour* a, const SeenNeighbour* b) { return key(a) == key(b); }),
              all.end());
    return all;
}

// The records gathered by interface: each record once, each address once.
std::map<std::string, InterfaceMetrics> Gather(std::span<const RecordMetrics> records,
                                               const DeviceNameOf& nameOf) {
    std::set<std::string_view> recordNames;
    std::vector<const SeenNeighbour*> all;
    std::map<std::string, InterfaceMetrics> interfaces;
    for (const RecordMetrics& record : records) {
        if (!recordNames.insert(record.name).second) {
            continue;
        }
        for (const SeenNeighbour& neighbour : record.neighbours) {
            all.push_back(&neighbour);
        }
        if (record.events != nullptr) {
            for (const auto& [key, count] : record.events->All()) {
                interfaces[key.first].events[key.second] += count;
            }
        }
    }
    all = EachAddressOnce(std::move(all));
    // By device: interface, then hardware address.
    std::sort(all.begin(), all.end(), [](const SeenNeighbour* a, const SeenNeighbour* b) {
        const int order = a->interfaceName.compare(b->interfaceName);
        return order < 0 ||
               (order == 0 && CompareBytes(a->hardwareAddress, b->hardwareAddress) < 0);
    });
    InterfaceMetrics* interface = nullptr;
    for (auto device = all.begin(); device != all.end();) {
        const SeenNeighbour& first = **device;
        if (interface == nullptr || (*(device - 1))->interfaceName != first.interfaceName) {
            interface = &interfaces[first.interfaceName];
        }
        const auto end = std::find_if(device, all.end(), [&](const SeenNeighbour* n) {
            return n->interfaceName != first.interfaceName ||
                   CompareBytes(n->hardwareAddress, first.hardwareAddress) != 0;
        });
        const std::string* name = nameOf(first.hardwareAddress);
        KnownDevice known;
        WallClock::time_point firstSeen = WallClock::time_point::max();
        for (auto at = device; at != end; ++at) {
            const SeenNeighbour& neighbour = **at;
            interface->neighbours[neighbour.address.IsV6() ? 1 : 0][neighbour.answering ? 1 : 0]++;
            firstSeen = std::min(firstSeen, neighbour.firstSeen);
            known.up = known.up || neighbour.answering;
            known.lastSeen = std::max(known.lastSeen, neighbour.lastSeen);
            if (name != nullptr) {
                known.addresses.push_back(neighbour.address);
            }
        }
        if (name != nullptr) {
            known.name = name;
            known.hardwareText = HardwareAddressText(first.hardwareAddress, ":");
            interface->known.push_back(std::move(known));
        } else {
            interface->unknown++;
            if (!interface->newestUnknown || *interface->newestUnknown < firstSeen) {
                interface->newestUnknown = firstSeen;
            }
        }
        device = end;
    }
    return interfaces;
}

void WriteRecords(Exposition& out, std::span<const RecordMetrics> records) {
    std::map<std::string_view, const RecordMetrics*> byName;  // the first of each name
    for (const RecordMetrics& record : records) {
        byName.try_emplace(record.name, &record);
    }
    out.Family("varnock_record_readable", "gauge",
               "Whether the watch's record could be read (1) or is missing or damaged (0).");
    for (const auto& [name, record] : byName) {
        out.Sample("varnock_record_readable", {{"record", name}}, record->readable ? 1 : 0);
    }
    out.Family("varnock_record_saved_timestamp_seconds", "gauge",
               "When the watch last saved its record, in seconds since 1970.");
    for (const auto& [name, record] : byName) {
        if (record->saved) {
            out.Sample("varnock_record_saved_timestamp_seconds", {{"record", name}},
                       SecondsText(*record->saved));
        }
    }
}

}  // namespace

std::string FormatMetrics(std::span<const RecordMetrics> records, const DeviceNameOf& nameOf,
                          std::string_view version) {
    const auto interfaces = Gather(records, nameOf);
    // A device's series in the order of its interface, then its hardware
    // address; `write` gives each known one's sample.
    const auto eachKnown = [&](const auto& write) {
        for (const auto& [interfaceName, interface] : interfaces) {
            for (const KnownDevice& device : interface.known) {
                write(interfaceName, device.hardwareText, device);
            }
        }
    };

    Exposition out;
    out.Family("varnock_build_info", "gauge", "The program's version, as a label; always 1.");
    out.Sample("varnock_build_info", {{"version", version}}, 1);

    out.Family("varnock_device_info", "gauge",
               "A known device's name and addresses (sorted, comma-separated); always 1.");
    eachKnown([&](const std::string& interfaceName, const std::string& hardwareAddress,
                  const KnownDevice& device) {
        out.Sample("varnock_device_info",
                   {{"interface", interfaceName},
                    {"hardware_address", hardwareAddress},
                    {"name", *device.name},
                    {"addresses", AddressesLabel(device.addresses)}},
                   1);
    });
    out.Family("varnock_device_last_seen_timestamp_seconds", "gauge",
               "When a known device last answered, in seconds since 1970.");
    eachKnown([&](const std::string& interfaceName, const std::string& hardwareAddress,
                  const KnownDevice& device) {
        out.Sample("varnock_device_last_seen_timestamp_seconds",
                   {{"interface", interfaceName}, {"hardware_address", hardwareAddress}},
                   SecondsText(device.lastSeen));
    });
    out.Family("varnock_device_up", "gauge",
               "Whether any address of a known device answers (1) or none does (0).");
    eachKnown([&](const std::string& interfaceName, const std::string& hardwareAddress,
                  const KnownDevice& device) {
        out.Sample("varnock_device_up",
                   {{"interface", interfaceName}, {"hardware_address", hardwareAddress}},
                   device.up ? 1 : 0);
    });

    out.Family("varnock_devices", "gauge",
               "Devices (hardware addresses) seen on an interface, known (named) or not.");
    for (const auto& [interfaceName, interface] : interfaces) {
        out.Sample("varnock_devices", {{"interface", interfaceName}, {"known", "false"}},
                   interface.unknown);
        out.Sample("varnock_devices", {{"interface", interfaceName}, {"known", "true"}},
                   interface.known.size());
    }

    out.Family("varnock_events_total", "counter",
               "Events the watch told, by type, since its record file was made.");
    for (const auto& [interfaceName, interface] : interfaces) {
        std::map<std::string_view, std::uint64_t> byType;  // sorted by the type's name
        for (const WatchEvent::Kind kind : kEventKinds) {
            const auto counted = interface.events.find(kind);
            byType[KindName(kind)] = counted == interface.events.end() ? 0 : counted->second;
        }
        for (const auto& [type, count] : byType) {
            out.Sample("varnock_events_total", {{"interface", interfaceName}, {"type", type}},
                       count);
        }
    }

    out.Family("varnock_neighbours", "gauge",
               "Addresses the watch keeps on an interface, by family and state.");
    for (const auto& [interfaceName, interface] : interfaces) {
        for (const int family : {0, 1}) {
            for (const int answering : {1, 0}) {
                out.Sample("varnock_neighbours",
                           {{"interface", interfaceName},
                            {"family", family == 0 ? "ipv4" : "ipv6"},
                            {"state", answering == 1 ? "answering" : "stopped"}},
                           interface.neighbours[static_cast<std::size_t>(family)]
                                               [static_cast<std::size_t>(answering)]);
            }
        }
    }

    out.Family("varnock_newest_unknown_device_first_seen_timestamp_seconds", "gauge",
               "When the newest unknown device on an interface was first seen, in seconds "
               "since 1970.");
    for (const auto& [interfaceName, interface] : interfaces) {
        if (interface.newestUnknown) {
            out.Sample("varnock_newest_unknown_device_first_seen_timestamp_seconds",
                       {{"interface", interfaceName}}, SecondsText(*interface.newestUnknown));
        }
    }

    WriteRecords(out, records);
    return out.Take();
}

}  // namespace varnock::console
