#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/text/utc_text.h"
#include "lookup/hardware_address_text.h"
#include "lookup/ip_address.h"

namespace varnock::console {

struct WatchEvent {
    enum class Kind {
        kNew,      // an address answers that the record has never seen
        kChanged,  // an address answers with another hardware address
        kStopped,  // an address that answered no longer does
        kMany,     // one hardware address now answers for several IPv4 addresses
        kBack,     // an address that had stopped answers again, as before
        kBurst,    // more new addresses at once than are worth telling one by one
    };
    Kind kind = Kind::kNew;
    WallClock::time_point time;
    std::string interfaceName;
    IpAddress address;                     // all but kMany
    HardwareAddressBytes hardwareAddress;  // the one answering now (kMany: the shared one)
    HardwareAddressBytes previous;         // kChanged: the one before
    std::vector<IpAddress> addresses;      // kMany: every address it answers for
    // When the record first and last saw this address answer (kBurst: the
    // first and last of the burst).
    WallClock::time_point firstSeen;
    WallClock::time_point lastSeen;
    std::size_t count = 0;  // kBurst: how many new addresses it stands for
};

}  // namespace varnock::console
