#include "lookup/address_text.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif

namespace varnock {

Ipv4Address ParseIpAddress(const std::string& addressText) {
    return static_cast<Ipv4Address>(inet_addr(addressText.c_str()));
}

}  // namespace varnock
