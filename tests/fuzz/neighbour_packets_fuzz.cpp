// Frames as if they came off the wire, through the ARP and neighbour
// advertisement parsers: every length is checked, nothing read past the end.

#include <cstdint>
#include <span>

#include "lookup/linux/neighbour_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace packets = varnock::linux_backend::packets;
    const std::span bytes(data, size);
    (void)packets::ParseArpReply(bytes);
    (void)packets::ParseNeighbourAdvertisement(bytes);
    return 0;
}
