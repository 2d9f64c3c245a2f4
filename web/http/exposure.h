#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "web/http/listen_address.h"

namespace varnock::web {

// Listening beyond this machine without TLS and users: the program refuses
// to start (exit 2), and the message says what is missing.
class ExposureRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BoundSocket {
    sockaddr_storage address{};
    std::string text;  // how to name it in a message
};

// Throws ExposureRefused when any socket is not on loopback and TLS or users
// (or both) are missing.
void RequireSafeExposure(const std::vector<BoundSocket>& sockets, bool tls, bool users);

}  // namespace varnock::web
