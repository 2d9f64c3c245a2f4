#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <exception>
#include <iostream>
#include <string_view>
#include <system_error>
#include <vector>

#include "web/http/exposure.h"
#include "web/http/http_server.h"
#include "web/http/listen_address.h"
#include "web/http/socket_activation.h"
#include "web/http/unique_fd.h"
#include "web/http/web_config.h"
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
    if (!fd.Valid()) throw std::system_error(errno, std::generic_category(), "signalfd");
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

HttpResponse StubPage(const HttpRequest& request) {
    HttpResponse response;
    if (request.path != "/") {
        response.status = 404;
        response.contentType = "text/plain; charset=utf-8";
        response.body = "Not found\n";
        return response;
    }
    response.contentType = "text/html; charset=utf-8";
    response.body =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Varnock</title></head><body><h1>Varnock</h1></body></html>\n";
    return response;
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
    // Sockets from systemd win over --listen: the unit decides where.
    std::vector<UniqueFd> listeners = TakeActivatedSockets();
    std::vector<BoundSocket> bound;
    if (!listeners.empty()) {
        for (const UniqueFd& listener : listeners) {
            bound.push_back({BoundAddress(listener.Get()),
                             "the socket passed as descriptor " + std::to_string(listener.Get())});
        }
        RequireSafeExposure(bound, settings.tls.has_value(), !settings.users.Empty());
    } else {
        std::vector<ListenAddress> addresses;
        for (const std::string& text :
             line.listen.empty() ? DefaultListenAddresses() : line.listen) {
            addresses.push_back(ParseListenAddress(text));
            bound.push_back({addresses.back().socket, addresses.back().text});
        }
        // Refused before anything is opened.
        RequireSafeExposure(bound, settings.tls.has_value(), !settings.users.Empty());
        for (const ListenAddress& address : addresses) {
            listeners.push_back(OpenListeningSocket(address));
        }
    }
    UniqueFd signals = BlockStopSignals();
    RaiseDescriptorLimit(listeners.size(), settings.limits);
    HttpServer server(std::move(listeners), std::move(settings), StubPage);
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
