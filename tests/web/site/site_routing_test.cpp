// Which path answers what, with which status and caching.

#include <gtest/gtest.h>

#include <string>

#include "tests/web/site/site_fixture.h"
#include "web/assets/compiled_assets.h"
#include "web/site/site.h"
#include "web/site/site_assets.h"

namespace varnock::web {
namespace {

using namespace testing;

std::string Header(const HttpResponse& response, const std::string& name) {
    for (const auto& [key, value] : response.headers) {
        if (key == name) {
            return value;
        }
    }
    return "";
}

TEST(SiteRouting, EachPathAnswersWithItsKind) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::pair<const char*, const char*> paths[] = {
        {"/", "text/html; charset=utf-8"},
        {"/device/eth0/02:1A:2B:3C:4D:5E", "text/html; charset=utf-8"},
        {"/api/v1/devices", "application/json"},
        {"/api/v1/devices.csv", "text/csv; charset=utf-8; header=present"},
        {"/api/v1/devices/eth0/02:1A:2B:3C:4D:5E", "application/json"},
        {"/api/v1/events", "application/json"},
        {"/api/v1/records", "application/json"},
        {"/api/v1/openapi.json", "application/json"},
    };
    for (const auto& [path, type] : paths) {
        const HttpResponse response = Serve(Get(path), snapshot);
        EXPECT_EQ(response.status, 200) << path;
        EXPECT_EQ(response.contentType, type) << path;
        EXPECT_FALSE(response.body.empty()) << path;
        EXPECT_EQ(Header(response, "Cache-Control"), "no-cache") << path;
    }
    EXPECT_EQ(Header(Serve(Get("/api/v1/devices.csv"), snapshot), "Content-Disposition"),
              "attachment; filename=\"varnock-devices.csv\"");
}

TEST(SiteRouting, UnknownPathsAndDevicesAre404) {
    const SiteSnapshot snapshot = MakeSnapshot();
    for (const char* path :
         {"/index.html", "/api/v1", "/api/v2/devices", "/device/eth0", "/device/eth0/",
          "/device//02:1A:2B:3C:4D:5E", "/device/eth0/02:1A:2B:3C:4D:5E:", "/device/eth0/zz",
          "/device/eth1/02:1A:2B:3C:4D:5E", "/assets/style.css", "/assets/app-000000000000.js",
          ""}) {
        const HttpResponse response = Serve(Get(path), snapshot);
        EXPECT_EQ(response.status, 404) << path;
    }
    EXPECT_EQ(Serve(Get("/nothing"), snapshot).contentType, "text/html; charset=utf-8");
    EXPECT_EQ(Serve(Get("/api/v1/nothing"), snapshot).contentType, "application/json");
}

TEST(SiteRouting, AssetsAreServedByTheirHashForAYear) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::string page = Serve(Get("/"), snapshot).body;
    ASSERT_FALSE(CompiledAssets().empty());
    for (const CompiledAsset& asset : CompiledAssets()) {
        const std::string path = AssetPath(asset.name);
        EXPECT_NE(path.find(std::string(asset.hash)), std::string::npos);
        EXPECT_NE(page.find("\"" + path + "\""), std::string::npos) << path;
        const HttpResponse response = Serve(Get(path), snapshot);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, asset.body);
        EXPECT_EQ(Header(response, "Cache-Control"), "public, max-age=31536000, immutable");
        EXPECT_EQ(response.contentType, AssetContentType(asset.name));
    }
    EXPECT_EQ(AssetContentType("app.js"), "text/javascript; charset=utf-8");
    EXPECT_EQ(AssetContentType("style.css"), "text/css; charset=utf-8");
    EXPECT_EQ(AssetContentType("icon.svg"), "image/svg+xml");
}

TEST(SiteRouting, AnUnchangedDocumentIs304ForItsTag) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::vector<std::string> paths{"/", "/api/v1/devices", AssetPath("app.js")};
    for (const std::string& path : paths) {
        const HttpResponse first = Serve(Get(path), snapshot);
        const std::string tag = Header(first, "ETag");
        ASSERT_FALSE(tag.empty()) << path;
        HttpRequest again = Get(path);
        again.ifNoneMatch = "\"other\", W/" + tag;
        const HttpResponse unchanged = Serve(again, snapshot);
        EXPECT_EQ(unchanged.status, 304) << path;
        EXPECT_TRUE(unchanged.body.empty());
        EXPECT_EQ(Header(unchanged, "ETag"), tag);
        again.ifNoneMatch = "\"other\"";
        EXPECT_EQ(Serve(again, snapshot).status, 200) << path;
    }
    // Another filter, another document, another tag; another snapshot too.
    EXPECT_NE(Header(Serve(Get("/api/v1/devices", {{"state", "up"}}), snapshot), "ETag"),
              Header(Serve(Get("/api/v1/devices"), snapshot), "ETag"));
    EXPECT_NE(Header(Serve(Get("/api/v1/devices"), MakeSnapshot(false)), "ETag"),
              Header(Serve(Get("/api/v1/devices.csv"), snapshot), "ETag"));
}

// Answers are kept per snapshot, within bounds: past them each request
// still gets its own answer.
TEST(SiteRouting, EachQueryGetsItsOwnAnswerHoweverManyAreAsked) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::string all = Serve(Get("/api/v1/devices"), snapshot).body;
    for (std::size_t i = 0; i < AnswerMemo::kMostAnswers + 10; ++i) {
        const std::string text = std::to_string(i);
        const std::string body = Serve(Get("/", {{"q", text}}), snapshot).body;
        EXPECT_NE(body.find("value=\"" + text + "\""), std::string::npos) << text;
    }
    EXPECT_EQ(Serve(Get("/api/v1/devices"), snapshot).body, all);
    EXPECT_NE(Serve(Get("/api/v1/devices", {{"q", "printer"}}), snapshot).body, all);
}

TEST(SiteRouting, OnlyGetAndHeadAreAnswered) {
    const SiteSnapshot snapshot = MakeSnapshot();
    HttpRequest head = Get("/api/v1/devices");
    head.method = "HEAD";
    // The HTTP layer drops a HEAD's body but keeps its length.
    EXPECT_EQ(Serve(head, snapshot).body, Serve(Get("/api/v1/devices"), snapshot).body);
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", ""}) {
        HttpRequest request = Get("/");
        request.method = method;
        const HttpResponse response = Serve(request, snapshot);
        EXPECT_EQ(response.status, 405) << method;
        EXPECT_EQ(Header(response, "Allow"), "GET, HEAD");
    }
}

}  // namespace
}  // namespace varnock::web
