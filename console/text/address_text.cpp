#include "console/text/address_text.h"

#include <array>
#include <cstring>

#include "lookup/socket_text.h"

namespace varnock::console {

std::string DottedText(Ipv4Address address) {
    // Network byte order is the order of the bytes in memory, whatever the
    // machine.
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address, sizeof address);
    return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' +
           std::to_string(bytes[2]) + '.' + std::to_string(bytes[3]);
}

std::string AddressText(const IpAddress& address,
                        const std::function<std::string(std::uint32_t)>& interfaceName) {
    if (!address.IsV6()) {
        return DottedText(address.V4Value());
    }
    char text[64] = {};
    if (::inet_ntop(AF_INET6, address.bytes.data(), text, sizeof text) == nullptr) {
        return "?";
    }
    std::string result = text;
    if (address.scope != 0) {
        result += '%' + interfaceName(address.scope);
    }
    return result;
}

std::string PlainAddress(const IpAddress& address) {
    return AddressText(address, [](std::uint32_t) { return std::string(); });
}

std::string AddressList(const std::vector<IpAddress>& addresses) {
    std::string text;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        text += (i == 0 ? "" : ", ") + PlainAddress(addresses[i]);
    }
    return text;
}

}  // namespace varnock::console
