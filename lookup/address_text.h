#pragma once

#include <string>

#include "lookup/arp_request.h"

namespace varnock {

// The address as the platform's inet_addr reads it: shorthand forms
// ("10.1"), octal and hexadecimal parts are accepted as inet_addr accepts
// them, nothing is trimmed or validated here, and a text it rejects comes
// back as 0xFFFFFFFF (INADDR_NONE). The text is taken as the bytes of the
// system's narrow code page.
Ipv4Address ParseIpAddress(const std::string& addressText);

}  // namespace varnock
