#include "web/site/site.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <variant>

#include "console/metrics/metrics_text.h"
#include "console/text/hardware_address_reading.h"
#include "web/site/api_json.h"
#include "web/site/csv_export.h"
#include "web/site/device_filter.h"
#include "web/site/event_log.h"
#include "web/site/metrics_page.h"
#include "web/site/openapi.h"
#include "web/site/page_html.h"
#include "web/site/site_assets.h"

namespace varnock::web {
namespace {

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kJson = "application/json";

// FNV-1a over the body: a response's tag changes with its bytes, and only
// then, whatever in the records made it.
std::string EntityTag(std::string_view body) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : body) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char text[20];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return text;
}

// If-None-Match lists tags ("a", W/"b") or is "*".
bool Matches(std::string_view ifNoneMatch, const std::string& tag) {
    while (!ifNoneMatch.empty()) {
        const std::size_t comma = ifNoneMatch.find(',');
        std::string_view item = ifNoneMatch.substr(0, comma);
        ifNoneMatch.remove_prefix(comma == std::string_view::npos ? ifNoneMatch.size() : comma + 1);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) {
            item.remove_prefix(1);
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) {
            item.remove_suffix(1);
        }
        if (item.starts_with("W/")) {
            item.remove_prefix(2);
        }
        if (item == "*" || item == tag) {
            return true;
        }
    }
    return false;
}

HttpResponse Answer(int status, std::string_view contentType, std::string body) {
    HttpResponse response;
    response.status = status;
    response.contentType = std::string(contentType);
    response.body = std::move(body);
    return response;
}

// A document made from the records: revalidated on each use (Serve answers
// 304 when the client holds these bytes already).
HttpResponse Fresh(std::string_view contentType, std::string body) {
    HttpResponse response = Answer(200, contentType, std::move(body));
    response.headers = {{"ETag", EntityTag(response.body)}, {"Cache-Control", "no-cache"}};
    return response;
}

bool IsApi(std::string_view path) {
    return path.starts_with("/api/");
}

HttpResponse NotFound(std::string_view path, const std::string& what) {
    return IsApi(path) ? Answer(404, kJson, ErrorDocument(what))
                       : Answer(404, kHtml, MessagePage("Not found", what));
}

HttpResponse BadRequest(std::string_view path, const std::string& why) {
    return IsApi(path) ? Answer(400, kJson, ErrorDocument(why))
                       : Answer(400, kHtml, MessagePage("Bad request", why));
}

// "IFACE/HW" after a prefix: the interface (any text but '/', which no
// interface name holds) and the hardware address in either case.
const Device* DeviceAt(const SiteSnapshot& snapshot, std::string_view rest) {
    const std::size_t slash = rest.rfind('/');
    if (slash == std::string_view::npos || slash == 0) {
        return nullptr;
    }
    const auto bytes = console::ReadHardwareAddressText(rest.substr(slash + 1),
                                                        console::HardwareTextForm::kOneOrTwoDigits);
    if (!bytes) {
        return nullptr;
    }
    return snapshot.Find(std::string(rest.substr(0, slash)), *bytes);
}

std::optional<std::string> QueryValue(const HttpRequest& request, std::string_view name) {
    std::optional<std::string> value;
    for (const auto& [key, text] : request.query) {
        if (key == name) {
            value = text;
        }
    }
    return value;
}

HttpResponse Devices(const HttpRequest& request, const SiteSnapshot& snapshot, bool csv,
                     bool page) {
    auto parsed = ParseDeviceFilter(request.query);
    if (const auto* why = std::get_if<std::string>(&parsed)) {
        return BadRequest(request.path, *why);
    }
    const DeviceFilter& filter = std::get<DeviceFilter>(parsed);
    if (page) {
        return Fresh(kHtml, InventoryPage(snapshot, filter));
    }
    if (!csv) {
        return Fresh(kJson, DevicesDocument(snapshot, filter));
    }
    HttpResponse response = Fresh("text/csv; charset=utf-8; header=present",
                                  DevicesCsv(SelectDevices(snapshot, filter)));
    response.headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"varnock-devices.csv\"");
    return response;
}

HttpResponse Events(const HttpRequest& request, const SiteSnapshot& snapshot) {
    std::optional<WallClock::time_point> since;
    if (const auto text = QueryValue(request, "since"); text && !text->empty()) {
        since = ParseUserTime(*text);
        if (!since) {
            return BadRequest(
                request.path,
                "since: a time such as 2026-12-07T14:00:00Z (UTC), not \"" + *text + "\"");
        }
    }
    return Fresh(kJson, EventsDocument(snapshot, since));
}

HttpResponse Asset(const HttpRequest& request) {
    const CompiledAsset* asset = AssetAt(request.path);
    if (asset == nullptr) {
        return NotFound(request.path, "No such file: the page names its files with their hashes.");
    }
    HttpResponse response = Answer(200, AssetContentType(asset->name), std::string(asset->body));
    // Appended, not "\"" + a temporary: GCC 12 at -O3 takes that for an
    // overlapping copy (-Wrestrict).
    std::string etag = "\"";
    etag += asset->hash;
    etag += '"';
    response.headers = {{"Cache-Control", "public, max-age=31536000, immutable"},
                        {"ETag", std::move(etag)}};
    return response;
}

// The answer to a GET of the request's path and query.
HttpResponse Build(const HttpRequest& request, const SiteSnapshot& snapshot) {
    const std::string_view path = request.path;
    if (path == "/") {
        return Devices(request, snapshot, false, true);
    }
    if (path == "/api/v1/devices") {
        return Devices(request, snapshot, false, false);
    }
    if (path == "/api/v1/devices.csv") {
        return Devices(request, snapshot, true, false);
    }
    if (path == "/api/v1/events") {
        return Events(request, snapshot);
    }
    if (path == "/api/v1/records") {
        return Fresh(kJson, RecordsDocument(snapshot));
    }
    if (path == "/api/v1/openapi.json") {
        return Fresh(kJson, std::string(OpenApiDocument()));
    }
    if (path.starts_with("/assets/")) {
        return Asset(request);
    }
    if (path == "/metrics") {
        return Answer(200, console::kMetricsContentType, MetricsText(snapshot));
    }
    constexpr std::string_view kDeviceView = "/device/";
    constexpr std::string_view kDeviceApi = "/api/v1/devices/";
    for (const std::string_view prefix : {kDeviceView, kDeviceApi}) {
        if (!path.starts_with(prefix)) {
            continue;
        }
        const Device* device = DeviceAt(snapshot, path.substr(prefix.size()));
        if (device == nullptr) {
            return NotFound(path, "No such device in the records.");
        }
        return prefix == kDeviceView ? Fresh(kHtml, DevicePage(snapshot, *device))
                                     : Fresh(kJson, DeviceDocument(snapshot, *device));
    }
    return NotFound(path, "Nothing is here.");
}

std::string TagOf(const HttpResponse& response) {
    for (const auto& [name, value] : response.headers) {
        if (name == "ETag") {
            return value;
        }
    }
    return "";
}

}  // namespace

HttpResponse Serve(const HttpRequest& request, const SiteSnapshot& snapshot) {
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse response = Answer(405, "text/plain; charset=utf-8", "Only GET and HEAD.\n");
        response.headers = {{"Allow", "GET, HEAD"}};
        return response;
    }
    // A snapshot's answers never change: each is made once (every open page
    // asks for the same document every 2 s).
    std::string key = request.path;
    for (const auto& [name, value] : request.query) {
        key += '\n' + name + '=' + value;
    }
    std::shared_ptr<const HttpResponse> made = snapshot.answers.Find(key);
    if (!made) {
        made = snapshot.answers.Keep(key, Build(request, snapshot));
    }
    const std::string tag = TagOf(*made);
    if (made->status == 200 && !tag.empty() && !request.ifNoneMatch.empty() &&
        Matches(request.ifNoneMatch, tag)) {
        HttpResponse unchanged = Answer(304, made->contentType, "");
        unchanged.headers = made->headers;
        return unchanged;
    }
    return *made;
}

}  // namespace varnock::web
