// Text from a names file and a vendor list that means harm, through every
// place the site puts it: the page and the device view (HTML), the API
// (JSON), the export (CSV).

#include <gtest/gtest.h>

#include <string>

#include "console/text/json_value.h"
#include "tests/web/site/site_fixture.h"
#include "web/site/escape.h"
#include "web/site/site.h"

namespace varnock::web {
namespace {

using console::JsonValue;
using console::ParseJson;

using namespace testing;

// What data could turn into markup: the only tags in the page are the
// site's own, so none of these may appear at all.
void ExpectNoMarkupFromData(const std::string& html) {
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_EQ(html.find("onerror=alert(1)>"), std::string::npos);
    // Every <script in the page is the site's own, with a src.
    for (std::size_t at = html.find("<script"); at != std::string::npos;
         at = html.find("<script", at + 1)) {
        EXPECT_EQ(html.compare(at, 13, "<script src=\""), 0) << html.substr(at, 40);
    }
}

TEST(SiteEscaping, HostileNamesAndVendorsAreTextInThePages) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::string page = Serve(Get("/"), snapshot).body;
    ExpectNoMarkupFromData(page);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("\"&gt;&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    // In an attribute (the name's sort value) quotes cannot end it.
    EXPECT_NE(page.find("data-value=\"&lt;script&gt;alert(1)&lt;/script&gt;\""), std::string::npos);

    for (const auto& device : {kHostileName, kHostileVendor}) {
        const std::string view =
            Serve(Get("/device/eth0/" + HardwareAddressText(device, ":")), snapshot).body;
        ASSERT_NE(view.find("<h2>Addresses</h2>"), std::string::npos);
        ExpectNoMarkupFromData(view);
    }
}

TEST(SiteEscaping, HostileTextReadsBackExactlyFromTheApi) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const auto json = ParseJson(Serve(Get("/api/v1/devices"), snapshot).body);
    ASSERT_TRUE(json);
    const JsonValue* devices = json->Member("devices", JsonValue::Type::kArray);
    ASSERT_NE(devices, nullptr);
    std::size_t seen = 0;
    for (const JsonValue& device : devices->items) {
        const std::string* hardware = device.String("hardware_address");
        ASSERT_NE(hardware, nullptr);
        if (*hardware == HardwareAddressText(kHostileName, ":")) {
            EXPECT_EQ(*device.String("name"), kScript);
            EXPECT_EQ(*device.String("note"), kImage);
            ++seen;
        } else if (*hardware == HardwareAddressText(kHostileVendor, ":")) {
            EXPECT_EQ(*device.String("vendor"), kScript + kImage + " " + kFormula);
            ++seen;
        }
    }
    EXPECT_EQ(seen, 2u);
}

TEST(SiteEscaping, FormulasAreDefusedInTheCsv) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const std::string csv =
        Serve(Get("/api/v1/devices.csv", {{"q", HardwareAddressText(kHostileVendor, ":")}}),
              snapshot)
            .body;
    // The vendor field holds a quote, so it is quoted with its quotes doubled;
    // it starts with '<', so it is no formula. On its own the formula would be.
    EXPECT_NE(csv.find(",\"" + kScript + "\"\"><img src=x onerror=alert(1)> " + kFormula + "\","),
              std::string::npos)
        << csv;
    EXPECT_EQ(CsvCell(kFormula), "'" + kFormula);
    for (const std::string_view start : {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "\rx"}) {
        EXPECT_NE(CsvCell(start).find("'" + std::string(start)), std::string::npos) << start;
    }
    EXPECT_EQ(CsvCell("a,\"b\"\r\nc"), "\"a,\"\"b\"\"\r\nc\"");
    EXPECT_EQ(CsvCell("=a,b"), "\"'=a,b\"");
    EXPECT_EQ(CsvCell("printer"), "printer");
}

TEST(SiteEscaping, NamesStartingAFormulaAreDefusedInTheExportedRows) {
    console::DeviceNames names;
    names.Add("02:1a:2b:3c:4d:5e " + kFormula.substr(0, kFormula.find(' ')) + " # -2+3\n", "names");
    std::vector<RecordRead> records;
    records.push_back(ReadRecordText("r.json", console::FormatWatchState(Eth0Neighbours()),
                                     At("2026-12-07T14:59:30Z")));
    const SiteSnapshot snapshot =
        AssembleSnapshot(std::move(records), {}, names, nullptr, At("2026-12-07T15:00:00Z"));
    const std::string csv = Serve(Get("/api/v1/devices.csv", {{"q", "4D:5E"}}), snapshot).body;
    EXPECT_NE(csv.find("\r\n02:1A:2B:3C:4D:5E,'=cmd|','-2+3,"), std::string::npos) << csv;
}

TEST(SiteEscaping, EscapersCoverTheirCharactersAndCleanBadBytes) {
    EXPECT_EQ(HtmlText("a<b>&\"'"), "a&lt;b&gt;&amp;\"'");
    EXPECT_EQ(HtmlAttribute("a<b>&\"'"), "a&lt;b&gt;&amp;&quot;&#39;");
    // Not UTF-8, and a control character HTML forbids: U+FFFD each.
    EXPECT_EQ(HtmlText("x\xff\x01y"), "x\xEF\xBF\xBD\xEF\xBF\xBDy");
    EXPECT_EQ(JsonText("\"\\\n"), "\"\\\"\\\\\\n\"");
    EXPECT_EQ(UrlComponent("eth0.10/a b%"), "eth0.10%2Fa%20b%25");
}

}  // namespace
}  // namespace varnock::web
