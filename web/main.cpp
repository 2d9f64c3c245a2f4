#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <iterator>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "console/system.h"
#include "console/vendors/vendor_names.h"
#include "lookup/linux/unique_fd.h"
#include "web/http/exposure.h"
#include "web/http/http_server.h"
#include "web/http/listen_address.h"
#include "web/http/socket_activation.h"
#include "web/http/web_config.h"
#include "web/site/record_source.h"
#include "web/site/site.h"
#include "web/web_command_line.h"

namespace {

using namespace varnock::web;

// SIGTERM and SIGINT, as a descriptor to wait on. Blocked before any thread
// starts, so that every thread inherits the mask and none takes them.
UniqueFd BlockStopSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    if (const int error = pthread_sigmask(SIG_BLOCK, &stop, nullptr); error != 0) {
        throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    }
    UniqueFd fd(signalfd(-1, &stop, SFD_CLOEXEC));
    if (!fd) throw std::system_error(errno, std::generic_category(), "signalfd");
    return fd;
}

void WaitForStop(const UniqueFd& signals) {
    signalfd_siginfo info{};
    while (::read(signals.Get(), &info, sizeof info) < 0 && errno == EINTR) {
    }
}

// Every connection is a descriptor: room for the limits on each socket.
void RaiseDescriptorLimit(std::size_t sockets, const ServerLimits& limits) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = static_cast<rlim_t>(sockets) * limits.connections + 64;
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The sockets to serve on: systemd's when it passed some (the unit decides
// where), else --listen's or the loopback defaults. Refuses, before anything
// is opened, to listen beyond loopback unprotected. `names` gets how each is
// told in the log.
std::vector<UniqueFd> OpenListeners(const WebCommandLine& line, const ServerSettings& settings,
                                    std::vector<std::string>& names) {
    const bool tls = settings.tls.has_value();
    const bool users = !settings.users.Empty();
    std::vector<UniqueFd> listeners = TakeActivatedSockets();
    std::vector<BoundSocket> bound;
    if (!listeners.empty()) {
        for (const UniqueFd& listener : listeners) {
            bound.push_back({BoundAddress(listener.Get()),
                             "the socket passed as descriptor " + std::to_string(listener.Get())});
            names.push_back(bound.back().text);
        }
        RequireSafeExposure(bound, tls, users);
        return listeners;
    }
    const bool defaults = line.listen.empty();
    std::vector<ListenAddress> addresses;
    for (const std::string& text : defaults ? DefaultListenAddresses() : line.listen) {
        addresses.push_back(ParseListenAddress(text));
        bound.push_back({addresses.back().socket, addresses.back().text});
    }
    RequireSafeExposure(bound, tls, users);
    for (const ListenAddress& address : addresses) {
        try {
            listeners.push_back(OpenListeningSocket(address));
            names.push_back(address.text);
        } catch (const std::system_error& error) {
            // A machine without IPv6 on loopback still serves the default on
            // 127.0.0.1; an address the user named must work or stop us.
            const bool familyMissing = error.code() == std::errc::address_not_available ||
                                       error.code() == std::errc::address_family_not_supported;
            if (!defaults || !familyMissing) throw;
            std::cerr << "varnock-web: not listening on " << address.text << ": "
                      << error.code().message() << '\n';
        }
    }
    if (listeners.empty()) throw std::runtime_error("no address to listen on");
    return listeners;
}

// Where the site reads from: the options, then the system's name and
// vendor lists as varnock-cli reads them.
RecordPaths RecordPathsOf(const WebCommandLine& line) {
    RecordPaths paths;
    for (const auto& file : line.stateFiles) paths.stateFiles.push_back(file.string());
    if (line.stateDirectory) paths.stateDirectory = line.stateDirectory->string();
    for (const auto& file : line.logFiles) paths.logFiles.push_back(file.string());
    paths.systemNamesFile = varnock::console::kSystemNamesFile;
    if (line.namesFile) paths.namesFiles.push_back(line.namesFile->string());
    paths.vendors.systemFiles.assign(std::begin(varnock::console::kSystemVendorFiles),
                                     std::end(varnock::console::kSystemVendorFiles));
    // Registries kept elsewhere than Debian keeps them, or none (an empty
    // value): a list of files, apart as in PATH, as varnock-cli takes it.
    if (const char* lists = std::getenv("VARNOCK_VENDOR_LISTS"); lists != nullptr) {
        paths.vendors.systemFiles.clear();
        std::string_view rest = lists;
        while (!rest.empty()) {
            const std::size_t separator = rest.find(':');
            if (const auto file = rest.substr(0, separator); !file.empty()) {
                paths.vendors.systemFiles.emplace_back(file);
            }
            rest.remove_prefix(separator == std::string_view::npos ? rest.size() : separator + 1);
        }
    }
    if (line.vendorFile) paths.vendors.userFile = line.vendorFile->string();
    // No cache of the registries: a server reads them once for its life,
    // and writes nothing anywhere.
    return paths;
}

int Run(std::span<const std::string_view> arguments) {
    const WebCommandLine line = ParseWebCommandLine(arguments);
    if (line.help) {
        std::cout << WebHelpText();
        return 0;
    }
    if (line.version) {
        std::cout << "varnock-web " << VARNOCK_VERSION_TEXT << '\n';
        return 0;
    }
    ServerSettings settings;
    if (line.webConfig) {
        WebConfig config = ReadWebConfig(*line.webConfig);
        settings.tls = std::move(config.tls);
        settings.users = BasicAuthUsers(std::move(config.users));
    }
    std::vector<std::string> names;
    std::vector<UniqueFd> listeners = OpenListeners(line, settings, names);
    // Read once before serving, so that the first page is whole; the
    // handler may run on any of the server's threads at once.
    auto records = std::make_shared<RecordSource>(RecordPathsOf(line));
    const RequestHandler handler = [records](const HttpRequest& request) {
        return Serve(request, *records->Current());
    };
    UniqueFd signals = BlockStopSignals();
    RaiseDescriptorLimit(listeners.size(), settings.limits);
    const char* scheme = settings.tls ? "https" : "http";
    HttpServer server(std::move(listeners), std::move(settings), handler);
    for (const std::string& name : names) {
        std::cerr << "varnock-web: serving " << scheme << " on " << name << '\n';
    }
    WaitForStop(signals);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        return Run(arguments);
    } catch (const WebUsageError& error) {
        std::cerr << "varnock-web: " << error.what() << '\n';
        return kExitUsage;
    } catch (const BadListenAddress& error) {
        std::cerr << "varnock-web: " << error.what() << '\n';
        return kExitUsage;
    } catch (const WebConfigError& error) {
        std::cerr << "varnock-web: " << error.what() << '\n';
        return kExitUsage;
    } catch (const ExposureRefused& error) {
        std::cerr << "varnock-web: " << error.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "varnock-web: " << error.what() << '\n';
        return kExitServing;
    }
}
