#pragma once

#include <optional>
#include <string>

#include "web/http/http_message.h"
#include "web/http/http_server.h"
#include "web/http/password_check.h"

namespace varnock::web {

struct Credentials {
    std::string name;
    std::string password;
};

// What the server read of a request before any check: raw, as the client
// sent it.
struct IncomingRequest {
    std::string method;
    std::string target;  // the request line's target, undecoded
    std::string acceptEncoding;
    std::string ifNoneMatch;
    bool hasBody = false;  // Content-Length above 0 or Transfer-Encoding
    std::optional<Credentials> credentials;
};

// The whole policy of the HTTP layer, apart from the sockets: users first
// (401), then the method (405 with Allow), a body (413), the target (400),
// then the handler, whose exceptions become a 500. The security headers are
// on every answer this returns.
HttpResponse AnswerRequest(const IncomingRequest& request, const RequestHandler& handler,
                           const BasicAuthUsers& users);

}  // namespace varnock::web
