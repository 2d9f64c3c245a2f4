#include "web/http/exposure.h"

namespace varnock::web {

void RequireSafeExposure(const std::vector<BoundSocket>& sockets, bool tls, bool users) {
    if (tls && users) return;
    for (const BoundSocket& socket : sockets) {
        // A local socket (AF_UNIX, as a unit may pass) reaches no one else.
        if (IsLoopback(socket.address) || socket.address.ss_family == AF_UNIX) continue;
        std::string missing;
        if (!tls) missing = "TLS (tls_server_config)";
        if (!users) {
            missing += std::string(missing.empty() ? "" : " and ") + "users (basic_auth_users)";
        }
        throw ExposureRefused(socket.text + " is not a loopback address: listening there needs " +
                              missing + " in --web-config");
    }
}

}  // namespace varnock::web
