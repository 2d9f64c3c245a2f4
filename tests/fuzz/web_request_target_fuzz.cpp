// Any request target: it is either refused with BadRequestTarget or decoded
// into a path and query that keep the promises the site relies on (a path
// from '/' without control characters or '..' segments, a query without NUL).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "web/http/request_target.h"

namespace {

bool HasDotDotSegment(std::string_view path) {
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find('/', start + 1);
        if (end == std::string_view::npos) end = path.size();
        if (path.substr(start + 1, end - start - 1) == "..") return true;
        start = end;
    }
    return false;
}

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    try {
        const varnock::web::RequestTarget target = varnock::web::ParseRequestTarget(raw);
        if (target.path.empty() || target.path.front() != '/' || HasControlCharacter(target.path) ||
            HasDotDotSegment(target.path)) {
            std::abort();
        }
        for (const auto& [name, value] : target.query) {
            if (name.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
                std::abort();
            }
        }
    } catch (const varnock::web::BadRequestTarget&) {
    }
    return 0;
}
