#include "web/web_command_line.h"

namespace varnock::web {

WebCommandLine ParseWebCommandLine(std::span<const std::string_view> arguments) {
    WebCommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        // --name=value or --name value.
        const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
            if (argument.size() > name.size() && argument.starts_with(name) &&
                argument[name.size()] == '=') {
                return argument.substr(name.size() + 1);
            }
            if (argument != name) return std::nullopt;
            if (i + 1 == arguments.size()) {
                throw WebUsageError(std::string(name) + " needs a value");
            }
            return arguments[++i];
        };
        const auto once = [](auto& slot, std::string_view name, std::string_view given) {
            if (slot) throw WebUsageError(std::string(name) + " is given twice");
            slot = std::filesystem::path(given);
        };
        if (argument == "-h" || argument == "--help") {
            line.help = true;
            return line;
        } else if (argument == "-V" || argument == "--version") {
            line.version = true;
            return line;
        } else if (const auto state = value("--state")) {
            line.stateFiles.emplace_back(*state);
        } else if (const auto folder = value("--state-dir")) {
            once(line.stateDirectory, "--state-dir", *folder);
        } else if (const auto log = value("--log")) {
            line.logFiles.emplace_back(*log);
        } else if (const auto names = value("--names")) {
            once(line.namesFile, "--names", *names);
        } else if (const auto vendors = value("--vendor-file")) {
            once(line.vendorFile, "--vendor-file", *vendors);
        } else if (const auto address = value("--listen")) {
            line.listen.emplace_back(*address);
        } else if (const auto config = value("--web-config")) {
            once(line.webConfig, "--web-config", *config);
        } else {
            throw WebUsageError("\"" + std::string(argument) + "\": unknown option");
        }
    }
    if (line.stateFiles.empty() && !line.stateDirectory) {
        throw WebUsageError("no record to serve: give --state FILE or --state-dir DIR");
    }
    return line;
}

std::vector<std::string> DefaultListenAddresses() {
    return {std::string("127.0.0.1:") + kDefaultPort, std::string("[::1]:") + kDefaultPort};
}

std::string WebHelpText() {
    return R"(usage: varnock-web [--state FILE]... [--state-dir DIR] [--log FILE]...
                   [--names FILE] [--vendor-file FILE] [--listen ADDRESS:PORT]...
                   [--web-config FILE] [--version] [--help]

Serves the records of varnock-cli --watch, read-only: an inventory page at /
and a JSON API under /api/v1/. Nothing it serves changes anything.

  --state FILE       a watch's record (its --state); repeatable
  --state-dir DIR    every *.json record in DIR, and every *.jsonl beside them
                     as event logs
  --log FILE         a watch's --log (JSON lines): the devices' history;
                     repeatable
  --names FILE       names for known devices, /etc/ethers format (hardware
                     address, name, optional "# note"); read after /etc/ethers
  --vendor-file FILE a vendor list of your own, as varnock-cli's
  --listen ADDRESS:PORT  where to listen (an IPv6 address in brackets);
                     repeatable; default 127.0.0.1:8841 and [::1]:8841.
                     Sockets passed by systemd (LISTEN_FDS) are used instead.
  --web-config FILE  TLS and users, in YAML:
                       tls_server_config:
                         cert_file: /path/cert.pem
                         key_file: /path/key.pem
                       basic_auth_users:
                         NAME: HASH   (bcrypt or yescrypt, as mkpasswd makes)
                     An address other than loopback needs both.
  -h, --help         show this text
  -V, --version      show the version

Exit status: 0 after SIGTERM or SIGINT, 1 when it cannot listen or serve,
2 for a mistake in the command line or the configuration.
)";
}

}  // namespace varnock::web
