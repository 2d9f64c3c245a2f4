#include "web/http/request_target.h"

#include <gtest/gtest.h>

#include <string>

namespace varnock::web {
namespace {

using Query = QueryParameters;

TEST(RequestTarget, DecodesPercentEscapesInThePath) {
    EXPECT_EQ(DecodePath("/device/eth0/02:1A:2B:3C:4D:5E"), "/device/eth0/02:1A:2B:3C:4D:5E");
    EXPECT_EQ(DecodePath("/device/br%2Dlan/x%20y"), "/device/br-lan/x y");
    EXPECT_EQ(DecodePath("/caf%C3%A9"), "/caf\xC3\xA9");
    // A plus is a plus in a path; only a form's query makes it a space.
    EXPECT_EQ(DecodePath("/a+b"), "/a+b");
}

TEST(RequestTarget, RefusesDotDotSegmentsHoweverSpelt) {
    for (const char* target : {"/..", "/../etc/passwd", "/a/../b", "/a/..", "/%2e%2e/x", "/%2E%2E",
                               "/a/.%2e/b", "/a%2f..%2fb"}) {
        EXPECT_THROW(DecodePath(target), BadRequestTarget) << target;
    }
    // Dots that are not a whole segment are names like any other.
    EXPECT_EQ(DecodePath("/a..b/.../.x"), "/a..b/.../.x");
}

TEST(RequestTarget, RefusesWhatIsNotACleanPath) {
    for (const char* target :
         {"", "*", "http://host/", "relative", "/%", "/%4", "/%G0", "/%0g", "/a%00b", "/a%0Ab",
          "/a%0d", "/%7F", "/a\tb", "/%C0%AF", "/%ED%A0%80", "/%FF", "/%C3", "/%F4%90%80%80"}) {
        EXPECT_THROW(DecodePath(target), BadRequestTarget) << target;
    }
}

TEST(RequestTarget, ParsesTheQueryInOrder) {
    EXPECT_EQ(ParseQuery("q=printer&state=up&q=second"),
              (Query{{"q", "printer"}, {"state", "up"}, {"q", "second"}}));
    EXPECT_EQ(ParseQuery("q=a+b%2Bc&new_since=2026-12-07T14%3A00%3A00Z"),
              (Query{{"q", "a b+c"}, {"new_since", "2026-12-07T14:00:00Z"}}));
    // A name alone has an empty value; empty pieces are nothing; only the
    // first '=' splits.
    EXPECT_EQ(ParseQuery("random&&unnamed=&x=a=b&"),
              (Query{{"random", ""}, {"unnamed", ""}, {"x", "a=b"}}));
    EXPECT_EQ(ParseQuery(""), Query{});
}

TEST(RequestTarget, RefusesABadQuery) {
    for (const char* query : {"q=%", "q=%zz", "q=a%00", "%00=x", "q=%FF", "q=%E2%82"}) {
        EXPECT_THROW(ParseQuery(query), BadRequestTarget) << query;
    }
}

TEST(RequestTarget, SplitsPathAndQuery) {
    const RequestTarget target = ParseRequestTarget("/api/v1/devices?q=%3Cscript%3E&sort=name");
    EXPECT_EQ(target.path, "/api/v1/devices");
    EXPECT_EQ(target.query, (Query{{"q", "<script>"}, {"sort", "name"}}));
    // The query's '?' and '/' are its own text, not the path's.
    const RequestTarget odd = ParseRequestTarget("/?q=a?b/../c");
    EXPECT_EQ(odd.path, "/");
    EXPECT_EQ(odd.query, (Query{{"q", "a?b/../c"}}));
    EXPECT_THROW(ParseRequestTarget("/x#fragment"), BadRequestTarget);
    EXPECT_THROW(ParseRequestTarget("/../x?q=1"), BadRequestTarget);
}

}  // namespace
}  // namespace varnock::web
