#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "web/http/http_server.h"
#include "web/http/password_check.h"

namespace varnock::web {

// A --web-config file that cannot be used; its message names the file and
// the line or key at fault.
class WebConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WebConfig {
    std::optional<TlsCredentials> tls;  // the PEM texts, read from the named files
    std::vector<BasicAuthUser> users;
};

// Reads the file in the layout the Prometheus exporters use:
//   tls_server_config: {cert_file: PATH, key_file: PATH}
//   basic_auth_users: {NAME: HASH, ...}
// Relative paths are taken from the file's folder. Any other key is refused
// (a misspelt key must not leave the server open), as is a hash libcrypt
// does not take (bcrypt and yescrypt are).
WebConfig ReadWebConfig(const std::filesystem::path& file);

}  // namespace varnock::web
