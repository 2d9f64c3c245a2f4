// Bytes as if they came from the kernel, through the reply walker and every
// parser: malformed lengths must be refused, never read past.

#include <cstdint>
#include <span>

#include "lookup/linux/rtnetlink_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace rtnl = varnock::rtnl;
    const std::span bytes(reinterpret_cast<const std::byte*>(data), size);
    for (const std::uint32_t sequence : {0u, 1u}) {
        rtnl::ForEachMessage(bytes, sequence, sequence, [](const nlmsghdr& message) {
            (void)rtnl::ParseRoute(message);
            (void)rtnl::ParseLink(message);
            (void)rtnl::ParseLinkChange(message);
            (void)rtnl::ParseNeighbour(message);
            (void)rtnl::ParseInterfaceAddress(message);
            (void)rtnl::ParseNeighbourTable(message);
        });
    }
    return 0;
}
