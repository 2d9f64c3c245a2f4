#include "web/http/request_answer.h"

#include <exception>

#include "web/http/request_target.h"
#include "web/http/security_headers.h"

namespace varnock::web {
namespace {

HttpResponse PlainText(int status, std::string text) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = std::move(text) + "\n";
    return response;
}

HttpResponse WithSecurityHeaders(HttpResponse response) {
    for (const auto& [name, value] : kSecurityHeaders) {
        response.headers.emplace_back(name, value);
    }
    return response;
}

HttpResponse Dispatch(const IncomingRequest& request, const RequestHandler& handler,
                      const BasicAuthUsers& users) {
    if (!users.Empty() && (!request.credentials || !users.Allows(request.credentials->name,
                                                                 request.credentials->password))) {
        HttpResponse response = PlainText(401, "Authentication required");
        response.headers.emplace_back("WWW-Authenticate", "Basic realm=\"varnock\"");
        return response;
    }
    if (request.method != "GET" && request.method != "HEAD") {
        // Nothing on this server changes anything.
        HttpResponse response = PlainText(405, "Only GET and HEAD are served");
        response.headers.emplace_back("Allow", "GET, HEAD");
        return response;
    }
    if (request.hasBody) {
        return PlainText(413, "A request here carries no body");
    }
    HttpRequest decoded;
    try {
        RequestTarget target = ParseRequestTarget(request.target);
        decoded.path = std::move(target.path);
        decoded.query = std::move(target.query);
    } catch (const BadRequestTarget& bad) {
        return PlainText(400, std::string("Bad request: ") + bad.what());
    }
    decoded.method = request.method;
    decoded.acceptEncoding = request.acceptEncoding;
    decoded.ifNoneMatch = request.ifNoneMatch;
    try {
        return handler(decoded);
    } catch (const std::exception&) {
        // The reason stays in the server: it may name files.
        return PlainText(500, "Internal error");
    } catch (...) {
        return PlainText(500, "Internal error");
    }
}

}  // namespace

HttpResponse AnswerRequest(const IncomingRequest& request, const RequestHandler& handler,
                           const BasicAuthUsers& users) {
    return WithSecurityHeaders(Dispatch(request, handler, users));
}

}  // namespace varnock::web
