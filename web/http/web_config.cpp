#include "web/http/web_config.h"

#include <yaml-cpp/yaml.h>

#include <fstream>
#include <sstream>
#include <string>

namespace varnock::web {
namespace {

std::string ReadWhole(const std::filesystem::path& file, const std::string& what) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) throw WebConfigError("cannot read the " + what + " " + file.string());
    return text.str();
}

std::string Where(const std::filesystem::path& file, const YAML::Node& node) {
    const YAML::Mark mark = node.Mark();
    std::string where = file.string();
    if (mark.line >= 0) {
        // Appended, not ":" + a temporary: GCC 12 at -O3 takes the latter
        // for an overlapping copy (-Wrestrict).
        where += ':';
        where += std::to_string(mark.line + 1);
    }
    return where;
}

std::string Scalar(const std::filesystem::path& file, const YAML::Node& node,
                   const std::string& key) {
    if (!node.IsScalar() || node.Scalar().empty()) {
        throw WebConfigError(Where(file, node) + ": " + key + " must be a text");
    }
    return node.Scalar();
}

// bcrypt ("$2b$", "$2y$", "$2a$") and yescrypt ("$y$"): the slow hashes
// libcrypt has. Anything else (a plain password, MD5) is refused rather than
// trusted.
bool IsAcceptedHash(const std::string& hash) {
    return hash.starts_with("$2b$") || hash.starts_with("$2y$") || hash.starts_with("$2a$") ||
           hash.starts_with("$y$");
}

}  // namespace

WebConfig ReadWebConfig(const std::filesystem::path& file) {
    const std::string text = ReadWhole(file, "web configuration");
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception& bad) {
        throw WebConfigError(file.string() + ":" + std::to_string(bad.mark.line + 1) +
                             ": not valid YAML: " + bad.msg);
    }
    WebConfig config;
    if (root.IsNull()) return config;
    if (!root.IsMap()) throw WebConfigError(Where(file, root) + ": expected a mapping of keys");
    const std::filesystem::path folder = file.parent_path();
    const auto resolve = [&](const std::string& path) { return folder / path; };
    for (const auto& entry : root) {
        const std::string key = entry.first.as<std::string>("");
        const YAML::Node& value = entry.second;
        if (key == "tls_server_config") {
            if (!value.IsMap()) {
                throw WebConfigError(Where(file, value) + ": tls_server_config must be a mapping");
            }
            std::optional<std::string> cert;
            std::optional<std::string> keyFile;
            for (const auto& tlsEntry : value) {
                const std::string tlsKey = tlsEntry.first.as<std::string>("");
                if (tlsKey == "cert_file") {
                    cert = Scalar(file, tlsEntry.second, "cert_file");
                } else if (tlsKey == "key_file") {
                    keyFile = Scalar(file, tlsEntry.second, "key_file");
                } else {
                    throw WebConfigError(Where(file, tlsEntry.first) + ": unknown key \"" + tlsKey +
                                         "\" in tls_server_config");
                }
            }
            if (!cert || !keyFile) {
                throw WebConfigError(Where(file, value) +
                                     ": tls_server_config needs both cert_file and key_file");
            }
            config.tls = TlsCredentials{ReadWhole(resolve(*cert), "certificate"),
                                        ReadWhole(resolve(*keyFile), "key")};
        } else if (key == "basic_auth_users") {
            if (value.IsNull()) continue;
            if (!value.IsMap()) {
                throw WebConfigError(Where(file, value) + ": basic_auth_users must be a mapping");
            }
            for (const auto& user : value) {
                BasicAuthUser parsed{user.first.as<std::string>(""),
                                     Scalar(file, user.second, "a user's hash")};
                if (parsed.name.empty() || parsed.name.find(':') != std::string::npos) {
                    throw WebConfigError(Where(file, user.first) +
                                         ": a user name must be a text without ':'");
                }
                if (!IsAcceptedHash(parsed.hash)) {
                    throw WebConfigError(Where(file, user.second) + ": the hash of \"" +
                                         parsed.name +
                                         "\" is not bcrypt ($2b$, $2y$) or yescrypt ($y$)");
                }
                config.users.push_back(std::move(parsed));
            }
        } else {
            throw WebConfigError(Where(file, entry.first) + ": unknown key \"" + key + "\"");
        }
    }
    return config;
}

}  // namespace varnock::web
