#include "lookup/address_text.h"

#include "lookup/socket_text.h"

namespace varnock {

Ipv4Address ParseIpAddress(const std::string& addressText) {
    return static_cast<Ipv4Address>(inet_addr(addressText.c_str()));
}

}  // namespace varnock
