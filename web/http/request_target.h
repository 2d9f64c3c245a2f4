#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnock::web {

// A request target the server will not serve: the reason is what the 400
// answer says.
class BadRequestTarget : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using QueryParameters = std::vector<std::pair<std::string, std::string>>;

struct RequestTarget {
    std::string path;  // decoded, starts with '/'
    QueryParameters query;
};

// Splits an origin-form target ("/path?query", as it came on the request
// line) and decodes both halves. Throws BadRequestTarget for a target that is
// not origin-form, a bad percent escape, a NUL, text that is not UTF-8, or a
// ".." segment once decoded (so "%2e%2e" is caught as well as "..").
RequestTarget ParseRequestTarget(std::string_view raw);

// The path half alone; a control character in it is refused too.
std::string DecodePath(std::string_view raw);

// The query half alone ("a=1&b=x+y"): '+' is a space, as a form sends it; a
// name without '=' has an empty value; empty pieces ("a&&b") are skipped.
QueryParameters ParseQuery(std::string_view raw);

}  // namespace varnock::web
