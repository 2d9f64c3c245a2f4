#include "web/site/csv_export.h"

#include "console/text/utc_text.h"
#include "web/site/escape.h"

namespace varnock::web {

std::string DevicesCsv(const std::vector<const Device*>& devices) {
    std::string csv =
        "hardware_address,name,note,vendor,locally_administered,interface,addresses,first_seen,"
        "last_seen,state,record\r\n";
    for (const Device* device : devices) {
        std::string addresses;
        for (const DeviceAddress& address : device->addresses) {
            addresses += (addresses.empty() ? "" : " ") + address.text;
        }
        const std::string fields[] = {
            device->hardwareText,
            device->name ? device->name->name : "",
            device->name && device->name->note ? *device->name->note : "",
            device->vendor.value_or(""),
            device->locallyAdministered ? "true" : "false",
            device->interfaceName,
            addresses,
            console::UtcText(device->firstSeen),
            console::UtcText(device->lastSeen),
            device->up ? "up" : "stopped",
            device->record,
        };
        bool first = true;
        for (const std::string& field : fields) {
            csv += first ? "" : ",";
            first = false;
            csv += CsvCell(field);
        }
        csv += "\r\n";
    }
    return csv;
}

}  // namespace varnock::web
