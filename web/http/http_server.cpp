#include "web/http/http_server.h"

#include <microhttpd.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "web/http/connection_deadlines.h"
#include "web/http/request_answer.h"

namespace varnock::web {

// What every daemon's callbacks share; owned by the server, outlives the
// daemons (they are stopped first).
struct HttpServer::Shared {
    Shared(ServerSettings s, RequestHandler h)
        : settings(std::move(s)),
          handler(std::move(h)),
          deadlines(
              std::chrono::duration_cast<std::chrono::milliseconds>(settings.limits.requestTime)) {}
    ServerSettings settings;
    RequestHandler handler;
    ConnectionDeadlines deadlines;
};

namespace {

// One request's own state, from its request line to its end: the target as
// the client sent it (the library decodes the one it passes on its own way,
// and it is the raw one that must be checked).
struct RequestContext {
    std::string target;
    std::optional<IncomingRequest> incoming;  // once the headers are in
    bool answered = false;
};

// No exception may leave a callback into C. Out of memory, the library is
// told so (a null context, MHD_NO) and closes the connection.
void* OnRequestLine(void*, const char* uri, MHD_Connection*) {
    try {
        // The library frees nothing of ours: OnRequestEnded does.
        return new RequestContext{uri != nullptr ? uri : "", std::nullopt, false};
    } catch (...) {
        return nullptr;
    }
}

void OnRequestEnded(void* cls, MHD_Connection* connection, void** context,
                    MHD_RequestTerminationCode) {
    delete static_cast<RequestContext*>(*context);
    *context = nullptr;
    static_cast<HttpServer::Shared*>(cls)->deadlines.RequestAnswered(connection);
}

void OnConnection(void* cls, MHD_Connection* connection, void**,
                  MHD_ConnectionNotificationCode code) {
    auto& deadlines = static_cast<HttpServer::Shared*>(cls)->deadlines;
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        try {
            deadlines.Opened(connection, info != nullptr ? info->connect_fd : -1);
        } catch (...) {
            // Without a deadline, the library's own timeout still ends it.
        }
    } else {
        deadlines.Closed(connection);
    }
}

std::string HeaderValue(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value != nullptr ? value : "";
}

void FreeBody(void* body) {
    delete static_cast<std::string*>(body);
}

MHD_Result Queue(MHD_Connection* connection, HttpResponse answer) {
    // The body moves to the library, which frees it once sent: an API answer
    // over thousands of devices is not copied again.
    auto body = std::make_unique<std::string>(std::move(answer.body));
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), &FreeBody, body.get());
    if (response == nullptr) return MHD_NO;
    body.release();
    if (!answer.contentType.empty()) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    }
    for (const auto& [name, value] : answer.headers) {
        MHD_add_response_header(response, name.c_str(), value.c_str());
    }
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

IncomingRequest ReadRequest(MHD_Connection* connection, const char* method, std::string target,
                            bool withUsers) {
    IncomingRequest incoming;
    incoming.method = method != nullptr ? method : "";
    incoming.target = std::move(target);
    incoming.acceptEncoding = HeaderValue(connection, MHD_HTTP_HEADER_ACCEPT_ENCODING);
    incoming.ifNoneMatch = HeaderValue(connection, MHD_HTTP_HEADER_IF_NONE_MATCH);
    const std::string length = HeaderValue(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    incoming.hasBody = (!length.empty() && length.find_first_not_of('0') != std::string::npos) ||
                       !HeaderValue(connection, MHD_HTTP_HEADER_TRANSFER_ENCODING).empty();
    if (withUsers) {
        char* password = nullptr;
        char* name = MHD_basic_auth_get_username_password(connection, &password);
        if (name != nullptr && password != nullptr) {
            incoming.credentials = Credentials{name, password};
        }
        if (name != nullptr) MHD_free(name);
        if (password != nullptr) MHD_free(password);
    }
    return incoming;
}

// Called once when the headers are in, then again until the request is
// whole. A request refused for its method or its body is answered at once
// (the library then closes the connection rather than read the body); any
// other is answered on the next call, when the request is complete, so that
// the connection can be kept for the next one.
MHD_Result Respond(void* cls, MHD_Connection* connection, const char* method, size_t* uploadSize,
                   void** context) {
    auto& shared = *static_cast<HttpServer::Shared*>(cls);
    auto* request = static_cast<RequestContext*>(*context);
    if (request == nullptr) return MHD_NO;  // the request line callback always runs first
    if (!request->incoming) {
        shared.deadlines.RequestArrived(connection);
        request->incoming = ReadRequest(connection, method, std::move(request->target),
                                        !shared.settings.users.Empty());
        const bool servable =
            (request->incoming->method == "GET" || request->incoming->method == "HEAD") &&
            !request->incoming->hasBody;
        if (servable) return MHD_YES;
    } else if (*uploadSize != 0 || request->answered) {
        // A body sent after its refusal: dropped unread.
        *uploadSize = 0;
        return MHD_YES;
    }
    request->answered = true;
    return Queue(connection,
                 AnswerRequest(*request->incoming, shared.handler, shared.settings.users));
}

MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char*, const char* method,
                     const char*, const char*, size_t* uploadSize, void** context) {
    try {
        return Respond(cls, connection, method, uploadSize, context);
    } catch (...) {
        return MHD_NO;
    }
}

}  // namespace

void HttpServer::DaemonStop::operator()(MHD_Daemon* daemon) const {
    MHD_stop_daemon(daemon);
}

HttpServer::HttpServer(std::vector<UniqueFd> listeners, ServerSettings settings,
                       RequestHandler handler)
    : shared_(std::make_unique<Shared>(std::move(settings), std::move(handler))) {
    const ServerLimits& limits = shared_->settings.limits;
    const auto& tls = shared_->settings.tls;
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL;
    if (tls) flags |= MHD_USE_TLS;
    for (UniqueFd& listener : listeners) {
        // The options that only TLS has go last, so that without TLS the list
        // simply ends there.
        MHD_Daemon* daemon = MHD_start_daemon(
            flags, 0, nullptr, nullptr, &OnRequest, shared_.get(),             //
            MHD_OPTION_LISTEN_SOCKET, listener.Get(),                          //
            MHD_OPTION_THREAD_POOL_SIZE, limits.threadsPerSocket,              //
            MHD_OPTION_CONNECTION_LIMIT, limits.connections,                   //
            MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits.connectionsPerAddress,  //
            MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(limits.requestTime.count()),
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.connectionMemory,
            // Malformed request lines and headers are refused, not guessed at.
            MHD_OPTION_STRICT_FOR_CLIENT, 1,                              //
            MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, shared_.get(),   //
            MHD_OPTION_NOTIFY_COMPLETED, &OnRequestEnded, shared_.get(),  //
            MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, shared_.get(),   //
            tls ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END,
            tls ? tls->certificatePem.c_str() : nullptr,  //
            MHD_OPTION_HTTPS_MEM_KEY, tls ? tls->keyPem.c_str() : nullptr,
            // TLS 1.2 and 1.3 only, GnuTLS's usual choice of ciphers in them.
            MHD_OPTION_HTTPS_PRIORITIES, "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2",  //
            MHD_OPTION_END);
        if (daemon == nullptr) {
            throw std::runtime_error(tls ? "cannot start the HTTPS server (is the certificate "
                                           "and key pair valid?)"
                                         : "cannot start the HTTP server");
        }
        // The daemon closes its listening socket when it stops.
        listener.Release();
        daemons_.emplace_back(daemon);
    }
}

HttpServer::~HttpServer() {
    // The daemons go first: their threads use what shared_ holds.
    daemons_.clear();
}

}  // namespace varnock::web
