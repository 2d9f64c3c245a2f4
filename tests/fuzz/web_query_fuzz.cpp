// Any path, query parameters and If-None-Match for the site: Serve must
// never crash or throw; it answers 200, 304, 400 or 404 only; every JSON
// body it writes reads back as JSON; no HTML it writes holds the snapshot's
// hostile names and vendor as tags, whatever filter or sort shows them.
// The input: the path on the first line, then one "name=value" per line
// (a line without '=' is If-None-Match).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/text/json_value.h"
#include "tests/web/site/site_fixture.h"
#include "web/site/site.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnock::web;
    using varnock::console::JsonValue;
    using varnock::console::ParseJson;
    static const SiteSnapshot snapshot = testing::MakeSnapshot();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    HttpRequest request;
    request.method = "GET";
    for (bool first = true; !text.empty() || first; first = false) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (first) {
            request.path = "/" + std::string(line);
        } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
            request.query.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        } else {
            request.ifNoneMatch = line;
        }
    }
    const HttpResponse response = Serve(request, snapshot);
    if (response.status != 200 && response.status != 304 && response.status != 400 &&
        response.status != 404) {
        std::abort();
    }
    if (response.status != 304 && response.contentType == "application/json" &&
        !request.path.starts_with("/assets/") && !ParseJson(response.body)) {
        std::abort();
    }
    if (response.contentType.starts_with("text/html") &&
        (response.body.find("<script>") != std::string::npos ||
         response.body.find("<img src=x") != std::string::npos)) {
        std::abort();
    }
    return 0;
}
