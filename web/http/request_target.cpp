#include "web/http/request_target.h"


#include "console/text/utf8_text.h"

namespace varnock::web {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view raw, bool plusIsSpace, const char* what) {
    std::string decoded;
    decoded.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '%') {
            const int high = i + 1 < raw.size() ? HexValue(raw[i + 1]) : -1;
            const int low = i + 2 < raw.size() ? HexValue(raw[i + 2]) : -1;
            if (high < 0 || low < 0) {
                throw BadRequestTarget(std::string("bad percent escape in the ") + what);
            }
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            decoded.push_back(' ');
        } else {
            decoded.push_back(c);
        }
    }
    if (decoded.find('\0') != std::string::npos) {
        throw BadRequestTarget(std::string("NUL in the ") + what);
    }
    // Well-formed UTF-8 only, so that every later step sees the same text a
    // browser meant.
    if (!console::IsUtf8(decoded)) {
        throw BadRequestTarget(std::string("the ") + what + " is not UTF-8");
    }
    return decoded;
}

}  // namespace

std::string DecodePath(std::string_view raw) {
    if (raw.empty() || raw.front() != '/') {
        throw BadRequestTarget("the path must start with '/'");
    }
    std::string path = PercentDecode(raw, false, "path");
    // No path here has a control character; one could only end up in a
    // header or a log line where it does harm.
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            throw BadRequestTarget("a control character in the path");
        }
    }
    // Nothing here serves files, but a ".." must never reach a handler that
    // might one day join it to a folder.
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find('/', start + 1);
        if (end == std::string::npos) end = path.size();
        if (std::string_view(path).substr(start + 1, end - start - 1) == "..") {
            throw BadRequestTarget("a \"..\" segment in the path");
        }
        start = end;
    }
    return path;
}

QueryParameters ParseQuery(std::string_view raw) {
    QueryParameters query;
    while (!raw.empty()) {
        const std::size_t end = raw.find('&');
        const std::string_view piece = raw.substr(0, end);
        raw.remove_prefix(end == std::string_view::npos ? raw.size() : end + 1);
        if (piece.empty()) continue;
        const std::size_t equals = piece.find('=');
        std::string name = PercentDecode(piece.substr(0, equals), true, "query");
        std::string value = equals == std::string_view::npos
                                ? std::string()
                                : PercentDecode(piece.substr(equals + 1), true, "query");
        query.emplace_back(std::move(name), std::move(value));
    }
    return query;
}

RequestTarget ParseRequestTarget(std::string_view raw) {
    // A fragment never travels on the wire; one here is a malformed target.
    if (raw.find('#') != std::string_view::npos) {
        throw BadRequestTarget("a '#' in the request target");
    }
    const std::size_t question = raw.find('?');
    RequestTarget target;
    target.path = DecodePath(raw.substr(0, question));
    if (question != std::string_view::npos) {
        target.query = ParseQuery(raw.substr(question + 1));
    }
    return target;
}

}  // namespace varnock::web
