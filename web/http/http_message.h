#pragma once

#include <string>
#include <utility>
#include <vector>

namespace varnock::web {

// A request as the site sees it: already checked and decoded by the HTTP
// layer, so the site never handles raw bytes from the connection.
struct HttpRequest {
    std::string method;  // "GET", "HEAD", ...
    std::string path;    // decoded path, no query: "/api/v1/devices"
    std::vector<std::pair<std::string, std::string>> query;  // decoded, in order
    std::string acceptEncoding;                              // may be empty
    std::string ifNoneMatch;                                 // may be empty
};

// What the site answers. The HTTP layer adds the security headers to every
// response and, for HEAD, sends the headers and Content-Length without the body.
struct HttpResponse {
    int status = 200;
    std::string contentType;  // "text/html; charset=utf-8", ...
    std::string body;
    // Extra headers (Cache-Control, ETag, Allow, ...).
    std::vector<std::pair<std::string, std::string>> headers;
};

}  // namespace varnock::web
