#include "console/watch/record_file.h"

#include "console/text/address_text.h"
#include "console/text/json_text.h"
#include "console/text/utc_text.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {

std::string FormatWatchState(const std::vector<SeenNeighbour>& seen) {
    std::string text =
        "{\"version\": " + std::to_string(kWatchStateVersion) + ", \"neighbours\": [";
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const SeenNeighbour& neighbour = seen[i];
        text += i == 0 ? "\n  " : ",\n  ";
        text += "{\"address\": " + JsonString(PlainAddress(neighbour.address));
        text += ", \"interface\": " + JsonBytes(neighbour.interfaceName);
        text += ", \"hardware_address\": " +
                JsonString(HardwareAddressText(neighbour.hardwareAddress, ":"));
        text += ", \"first_seen\": " + JsonString(UtcText(neighbour.firstSeen));
        text += ", \"last_seen\": " + JsonString(UtcText(neighbour.lastSeen));
        text += std::string(", \"answering\": ") + (neighbour.answering ? "true" : "false") + "}";
    }
    return text + "\n]}\n";
}

}  // namespace varnock::console
