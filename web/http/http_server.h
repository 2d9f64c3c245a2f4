#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lookup/linux/unique_fd.h"
#include "web/http/http_message.h"
#include "web/http/password_check.h"

struct MHD_Daemon;

namespace varnock::web {

using linux_backend::UniqueFd;

using RequestHandler = std::function<HttpResponse(const HttpRequest&)>;

// Bounds on what clients may hold. Each listening socket has its own daemon,
// so the connection limits are per socket.
struct ServerLimits {
    // Open connections in all; past it new ones are closed at once.
    unsigned connections = 1000;
    // Open connections from one client address: one client cannot take all
    // of the above, so others are still answered while it holds its share.
    unsigned connectionsPerAddress = 64;
    // A request's headers must arrive whole within this time of the
    // connection's start or of the previous answer; silence this long ends a
    // connection too.
    std::chrono::seconds requestTime{10};
    // The memory each connection reads its request into: it bounds the
    // request line and headers (a larger request is refused).
    std::size_t connectionMemory = 16 * 1024;
    // Threads answering on each listening socket.
    unsigned threadsPerSocket = 2;
};

struct TlsCredentials {
    std::string certificatePem;
    std::string keyPem;
};

struct ServerSettings {
    ServerLimits limits;
    std::optional<TlsCredentials> tls;
    // When not empty, every request needs one of them by basic auth.
    BasicAuthUsers users;
};

// The HTTP server: one libmicrohttpd daemon per listening socket, each with
// its own threads, all calling one handler. The handler may be called from
// several threads at once. Stops and closes the sockets when destroyed.
class HttpServer {
public:
    // Throws std::runtime_error when a daemon cannot start (bad TLS
    // credentials, for one); the sockets are closed then.
    HttpServer(std::vector<UniqueFd> listeners, ServerSettings settings, RequestHandler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    struct Shared;

private:
    struct DaemonStop {
        void operator()(MHD_Daemon* daemon) const;
    };
    std::unique_ptr<Shared> shared_;
    std::vector<std::unique_ptr<MHD_Daemon, DaemonStop>> daemons_;
};

}  // namespace varnock::web
