#include "web/http/request_answer.h"

#include <crypt.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "web/http/request_target.h"
#include "web/http/security_headers.h"

namespace varnock::web {
namespace {

std::string Header(const HttpResponse& response, std::string_view name) {
    for (const auto& [key, value] : response.headers) {
        if (key == name) return value;
    }
    return "(absent)";
}

void ExpectSecurityHeaders(const HttpResponse& response) {
    for (const auto& [name, value] : kSecurityHeaders) {
        EXPECT_EQ(Header(response, name), value) << name << " on a " << response.status;
    }
}

IncomingRequest Get(std::string target) {
    IncomingRequest request;
    request.method = "GET";
    request.target = std::move(target);
    return request;
}

// What the handler was given, and a page to answer with.
struct RecordingHandler {
    std::vector<HttpRequest> seen;
    RequestHandler Handler() {
        return [this](const HttpRequest& request) {
            seen.push_back(request);
            HttpResponse response;
            response.contentType = "text/plain";
            response.body = "page";
            return response;
        };
    }
};

std::string BcryptHash(const std::string& password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE] = {};
    EXPECT_NE(crypt_gensalt_rn("$2b$", 4, nullptr, 0, salt, sizeof salt), nullptr);
    crypt_data data{};
    return crypt_r(password.c_str(), salt, &data);
}

TEST(RequestAnswer, HandsTheHandlerTheDecodedRequest) {
    RecordingHandler recorder;
    IncomingRequest request = Get("/device/eth%300/02:1a?q=a+b&random");
    request.method = "HEAD";
    request.ifNoneMatch = "\"abc\"";
    request.acceptEncoding = "gzip";
    const HttpResponse response = AnswerRequest(request, recorder.Handler(), {});
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "page");
    ExpectSecurityHeaders(response);
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0].method, "HEAD");
    EXPECT_EQ(recorder.seen[0].path, "/device/eth00/02:1a");
    EXPECT_EQ(recorder.seen[0].query, (QueryParameters{{"q", "a b"}, {"random", ""}}));
    EXPECT_EQ(recorder.seen[0].ifNoneMatch, "\"abc\"");
    EXPECT_EQ(recorder.seen[0].acceptEncoding, "gzip");
}

TEST(RequestAnswer, RefusesEveryOtherMethodWithAllow) {
    RecordingHandler recorder;
    for (const char* method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE", "get"}) {
        IncomingRequest request = Get("/");
        request.method = method;
        const HttpResponse response = AnswerRequest(request, recorder.Handler(), {});
        EXPECT_EQ(response.status, 405) << method;
        EXPECT_EQ(Header(response, "Allow"), "GET, HEAD") << method;
        ExpectSecurityHeaders(response);
    }
    EXPECT_TRUE(recorder.seen.empty());
}

TEST(RequestAnswer, RefusesABodyAndABadTargetBeforeTheHandler) {
    RecordingHandler recorder;
    IncomingRequest withBody = Get("/");
    withBody.hasBody = true;
    const HttpResponse tooLarge = AnswerRequest(withBody, recorder.Handler(), {});
    EXPECT_EQ(tooLarge.status, 413);
    ExpectSecurityHeaders(tooLarge);
    const HttpResponse bad = AnswerRequest(Get("/%2e%2e/etc/passwd"), recorder.Handler(), {});
    EXPECT_EQ(bad.status, 400);
    EXPECT_NE(bad.body.find(".."), std::string::npos) << bad.body;
    ExpectSecurityHeaders(bad);
    EXPECT_TRUE(recorder.seen.empty());
}

TEST(RequestAnswer, AHandlerThatThrowsIsAnInternalError) {
    const RequestHandler throwsError = [](const HttpRequest&) -> HttpResponse {
        throw std::runtime_error("/var/lib/secret path");
    };
    const RequestHandler throwsOther = [](const HttpRequest&) -> HttpResponse { throw 42; };
    for (const RequestHandler& handler : {throwsError, throwsOther}) {
        const HttpResponse response = AnswerRequest(Get("/"), handler, {});
        EXPECT_EQ(response.status, 500);
        EXPECT_EQ(response.body.find("secret"), std::string::npos) << response.body;
        ExpectSecurityHeaders(response);
    }
}

TEST(RequestAnswer, WithUsersEveryRequestNeedsOne) {
    RecordingHandler recorder;
    const BasicAuthUsers users({{"alice", BcryptHash("correct horse")}});
    const auto answer = [&](std::optional<Credentials> credentials, std::string method = "GET") {
        IncomingRequest request = Get("/api/v1/devices");
        request.method = std::move(method);
        request.credentials = std::move(credentials);
        return AnswerRequest(request, recorder.Handler(), users);
    };
    for (const auto& credentials :
         {std::optional<Credentials>{}, std::optional<Credentials>{{"alice", "wrong"}},
          std::optional<Credentials>{{"bob", "correct horse"}},
          std::optional<Credentials>{{"alice", "correct horse "}}}) {
        const HttpResponse refused = answer(credentials);
        EXPECT_EQ(refused.status, 401);
        EXPECT_EQ(Header(refused, "WWW-Authenticate"), "Basic realm=\"varnock\"");
        ExpectSecurityHeaders(refused);
    }
    // Nothing, not even the list of methods, before the user is known.
    EXPECT_EQ(answer(std::nullopt, "POST").status, 401);
    EXPECT_TRUE(recorder.seen.empty());
    // Twice, the second from what the first remembered; what is remembered
    // lets in that pair and no other.
    EXPECT_EQ(answer(Credentials{"alice", "correct horse"}).status, 200);
    EXPECT_EQ(answer(Credentials{"alice", "correct horse"}).status, 200);
    EXPECT_EQ(answer(Credentials{"alice", "correct hors"}).status, 401);
    EXPECT_EQ(answer(Credentials{"alic", "ecorrect horse"}).status, 401);
    EXPECT_EQ(recorder.seen.size(), 2u);
}

}  // namespace
}  // namespace varnock::web
