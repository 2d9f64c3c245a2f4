// The API's documents, read back as JSON: the contract's field names, the
// filters, the sort, records that cannot be read, history and events.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "console/text/json_value.h"
#include "tests/web/site/site_fixture.h"
#include "web/site/device_filter.h"
#include "web/site/openapi.h"
#include "web/site/site.h"

namespace varnock::web {
namespace {

using console::JsonValue;
using console::ParseJson;

using namespace testing;

JsonValue Document(const HttpRequest& request, const SiteSnapshot& snapshot) {
    const HttpResponse response = Serve(request, snapshot);
    EXPECT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(response.contentType, "application/json");
    auto json = ParseJson(response.body);
    EXPECT_TRUE(json) << response.body;
    return json.value_or(JsonValue{});
}

std::vector<std::string> HardwareAddresses(const JsonValue& document) {
    std::vector<std::string> addresses;
    if (const JsonValue* devices = document.Member("devices", JsonValue::Type::kArray)) {
        for (const JsonValue& device : devices->items) {
            addresses.push_back(*device.String("hardware_address"));
        }
    }
    return addresses;
}

std::set<std::string> Keys(const JsonValue& object) {
    std::set<std::string> keys;
    for (const auto& [name, value] : object.members) {
        keys.insert(name);
    }
    return keys;
}

const std::string kPrinterText = "02:1A:2B:3C:4D:5E";
const std::string kVendorText = "00:1B:2C:3D:4E:5F";
const std::string kNamedText = "00:1B:2C:00:00:01";

TEST(SiteApi, ADeviceHasTheContractsFieldsWithItsAddressesTogether) {
    const JsonValue document = Document(Get("/api/v1/devices"), MakeSnapshot());
    EXPECT_EQ(Keys(document), (std::set<std::string>{"generated", "records", "counts", "devices"}));
    EXPECT_EQ(*document.String("generated"), "2026-12-07T15:00:00Z");
    const JsonValue& devices = *document.Member("devices", JsonValue::Type::kArray);
    ASSERT_EQ(devices.items.size(), 3u);
    const JsonValue& printer = devices.items[0];  // by address: 192.0.2.2 first
    EXPECT_EQ(Keys(printer),
              (std::set<std::string>{"interface", "hardware_address", "name", "note", "known",
                                     "vendor", "locally_administered", "addresses", "first_seen",
                                     "last_seen", "state", "record"}));
    EXPECT_EQ(*printer.String("interface"), "eth0");
    EXPECT_EQ(*printer.String("hardware_address"), kPrinterText);
    EXPECT_EQ(*printer.String("name"), "printer");
    EXPECT_EQ(*printer.String("note"), "by the stairs");
    EXPECT_TRUE(printer.Member("known", JsonValue::Type::kBool)->boolean);
    EXPECT_NE(printer.Member("vendor", JsonValue::Type::kNull), nullptr);
    EXPECT_TRUE(printer.Member("locally_administered", JsonValue::Type::kBool)->boolean);
    // Up because one of its addresses answers; first and last over both.
    EXPECT_EQ(*printer.String("state"), "up");
    EXPECT_EQ(*printer.String("first_seen"), "2026-12-07T14:00:00Z");
    EXPECT_EQ(*printer.String("last_seen"), "2026-12-07T14:59:00Z");
    EXPECT_EQ(*printer.String("record"), "/var/lib/varnock-watch/eth0.json");
    const JsonValue& addresses = *printer.Member("addresses", JsonValue::Type::kArray);
    ASSERT_EQ(addresses.items.size(), 2u);
    EXPECT_EQ(Keys(addresses.items[0]),
              (std::set<std::string>{"address", "family", "answering", "first_seen", "last_seen"}));
    EXPECT_EQ(*addresses.items[0].String("address"), "192.0.2.2");
    EXPECT_EQ(*addresses.items[0].String("family"), "ipv4");
    EXPECT_EQ(*addresses.items[1].String("address"), "2001:db8::2");
    EXPECT_EQ(*addresses.items[1].String("family"), "ipv6");
    EXPECT_FALSE(addresses.items[1].Member("answering", JsonValue::Type::kBool)->boolean);

    const JsonValue& stopped = devices.items[2];  // 192.0.2.10
    EXPECT_EQ(*stopped.String("state"), "stopped");
    EXPECT_NE(stopped.Member("name", JsonValue::Type::kNull), nullptr);
    EXPECT_FALSE(stopped.Member("known", JsonValue::Type::kBool)->boolean);
    EXPECT_FALSE(stopped.Member("locally_administered", JsonValue::Type::kBool)->boolean);
}

TEST(SiteApi, CountsAreOverEveryDevice) {
    const JsonValue document =
        Document(Get("/api/v1/devices", {{"state", "stopped"}}), MakeSnapshot());
    const JsonValue& counts = *document.Member("counts", JsonValue::Type::kObject);
    const auto count = [&](const char* name) {
        return counts.Member(name, JsonValue::Type::kNumber)->text;
    };
    EXPECT_EQ(count("total"), "3");
    EXPECT_EQ(count("up"), "2");
    EXPECT_EQ(count("stopped"), "1");
    // New: first seen within the day before the records were read (the
    // device first seen 2026-12-06T10:00:00Z is not).
    EXPECT_EQ(count("new"), "1");
    EXPECT_EQ(*counts.String("new_since"), "2026-12-06T15:00:00Z");
    EXPECT_EQ(count("random"), "1");
    EXPECT_EQ(count("unnamed"), "1");
    EXPECT_EQ(count("shown"), "1");
}

TEST(SiteApi, EachFilterShowsItsDevices) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const auto shown = [&](std::vector<std::pair<std::string, std::string>> query) {
        return HardwareAddresses(Document(Get("/api/v1/devices", std::move(query)), snapshot));
    };
    using List = std::vector<std::string>;
    EXPECT_EQ(shown({{"q", "STAIRS"}}), List{kPrinterText});                // a note, any case
    EXPECT_EQ(shown({{"q", "2001:db8::"}}), List{kPrinterText});            // an IPv6 address
    EXPECT_EQ(shown({{"q", "onerror"}}), (List{kNamedText, kVendorText}));  // name's note, vendor
    EXPECT_EQ(shown({{"state", "up"}}), (List{kPrinterText, kNamedText}));
    EXPECT_EQ(shown({{"state", "stopped"}}), List{kVendorText});
    EXPECT_EQ(shown({{"new_since", "2026-12-07T00:00:00Z"}}), List{kPrinterText});
    EXPECT_EQ(shown({{"new_since", "2026-12-06"}}), (List{kPrinterText, kNamedText}));
    EXPECT_EQ(shown({{"random", "1"}}), List{kPrinterText});
    EXPECT_EQ(shown({{"unnamed", "1"}}), List{kVendorText});
    EXPECT_EQ(shown({{"state", ""}, {"new_since", ""}, {"random", "0"}}).size(), 3u);
}

TEST(SiteApi, SortsByAColumnEitherWay) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const auto shown = [&](std::vector<std::pair<std::string, std::string>> query) {
        return HardwareAddresses(Document(Get("/api/v1/devices", std::move(query)), snapshot));
    };
    using List = std::vector<std::string>;
    EXPECT_EQ(shown({}), (List{kPrinterText, kNamedText, kVendorText}));  // .2, .3, .10
    EXPECT_EQ(shown({{"sort", "hardware_address"}}), (List{kNamedText, kVendorText, kPrinterText}));
    EXPECT_EQ(shown({{"sort", "first_seen"}, {"order", "desc"}}),
              (List{kPrinterText, kNamedText, kVendorText}));
    // "<script>..." before "printer"; no name after every name.
    EXPECT_EQ(shown({{"sort", "name"}}), (List{kNamedText, kPrinterText, kVendorText}));
    EXPECT_EQ(shown({{"sort", "state"}, {"order", "desc"}}).front(), kVendorText);
}

TEST(SiteApi, BadFilterValuesAre400NamingTheParameter) {
    const SiteSnapshot snapshot = MakeSnapshot();
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"state", "down"},
                                                          {"new_since", "yesterday"},
                                                          {"new_since", "2026-13-01"},
                                                          {"random", "yes"},
                                                          {"unnamed", "2"},
                                                          {"sort", "colour"},
                                                          {"order", "up"}}) {
        for (const char* path : {"/api/v1/devices", "/api/v1/devices.csv", "/"}) {
            const HttpResponse response = Serve(Get(path, {{name, value}}), snapshot);
            EXPECT_EQ(response.status, 400) << path << " " << name << "=" << value;
            EXPECT_NE(response.body.find(name + ":"), std::string::npos) << response.body;
        }
    }
    const HttpResponse json = Serve(Get("/api/v1/devices", {{"state", "<b>"}}), snapshot);
    const auto error = ParseJson(json.body);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error->String("error"), "state: up or stopped, not \"<b>\"");
    EXPECT_EQ(Serve(Get("/", {{"state", "<b>"}}), snapshot).body.find("<b>"), std::string::npos);
}

TEST(SiteApi, RecordsThatCannotBeReadAreThereWithWhy) {
    const SiteSnapshot snapshot = MakeSnapshot();
    for (const char* path : {"/api/v1/devices", "/api/v1/records"}) {
        const JsonValue document = Document(Get(path), snapshot);
        const JsonValue& records = *document.Member("records", JsonValue::Type::kArray);
        ASSERT_EQ(records.items.size(), 3u);
        const JsonValue& good = records.items[0];
        EXPECT_EQ(Keys(good), (std::set<std::string>{"path", "interface", "readable", "state",
                                                     "problem", "saved", "neighbours"}));
        EXPECT_TRUE(good.Member("readable", JsonValue::Type::kBool)->boolean);
        EXPECT_EQ(*good.String("interface"), "eth0");
        EXPECT_EQ(*good.String("saved"), "2026-12-07T14:59:30Z");
        EXPECT_EQ(good.Member("neighbours", JsonValue::Type::kNumber)->text, "4");
        EXPECT_NE(good.Member("problem", JsonValue::Type::kNull), nullptr);

        const JsonValue& damaged = records.items[1];
        EXPECT_EQ(*damaged.String("path"), "/var/lib/varnock-watch/eth1.json");
        EXPECT_FALSE(damaged.Member("readable", JsonValue::Type::kBool)->boolean);
        EXPECT_EQ(*damaged.String("state"), "damaged");
        EXPECT_EQ(damaged.String("problem")->rfind("not JSON: line 1, column ", 0), 0u);

        const JsonValue& missing = records.items[2];
        EXPECT_EQ(*missing.String("state"), "missing");
        EXPECT_EQ(*missing.String("problem"), "no such file");
        EXPECT_NE(missing.Member("saved", JsonValue::Type::kNull), nullptr);
    }
    const JsonValue logs =
        *Document(Get("/api/v1/records"), snapshot).Member("logs", JsonValue::Type::kArray);
    ASSERT_EQ(logs.items.size(), 1u);
    EXPECT_EQ(logs.items[0].Member("events", JsonValue::Type::kNumber)->text, "5");
    EXPECT_EQ(logs.items[0].Member("bad_lines", JsonValue::Type::kNumber)->text, "1");
}

TEST(SiteApi, ADeviceCarriesItsHistoryAsTheWatchWroteIt) {
    const SiteSnapshot snapshot = MakeSnapshot();
    // Any case, and the interface percent-decoded by the HTTP layer.
    const JsonValue device = Document(Get("/api/v1/devices/eth0/02:1a:2b:3c:4d:5e"), snapshot);
    EXPECT_EQ(*device.String("hardware_address"), kPrinterText);
    const JsonValue& history = *device.Member("history", JsonValue::Type::kArray);
    std::vector<std::string> types;
    for (const JsonValue& event : history.items) {
        types.push_back(*event.String("type"));
        EXPECT_EQ(*event.String("interface"), "eth0");  // not eth9's event
        EXPECT_NE(event.Member("locally_administered", JsonValue::Type::kBool), nullptr);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"new", "stopped", "back"}));
    // A changed event belongs to the new hardware address (and the old).
    const JsonValue named = Document(Get("/api/v1/devices/eth0/" + kNamedText), snapshot);
    EXPECT_EQ(named.Member("history", JsonValue::Type::kArray)->items.size(), 1u);
    EXPECT_EQ(Serve(Get("/api/v1/devices/eth1/" + kPrinterText), snapshot).status, 404);
}

TEST(SiteApi, EventsSinceATimeOldestFirst) {
    const SiteSnapshot snapshot = MakeSnapshot();
    const JsonValue all = Document(Get("/api/v1/events"), snapshot);
    EXPECT_EQ(all.Member("events", JsonValue::Type::kArray)->items.size(), 5u);
    const JsonValue later =
        Document(Get("/api/v1/events", {{"since", "2026-12-07T14:30:00Z"}}), snapshot);
    EXPECT_EQ(*later.String("since"), "2026-12-07T14:30:00Z");
    const auto& events = later.Member("events", JsonValue::Type::kArray)->items;
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(*events[0].String("type"), "changed");
    EXPECT_EQ(*events[1].String("time"), "2026-12-07T14:50:00Z");
    EXPECT_EQ(Serve(Get("/api/v1/events", {{"since", "14:30"}}), snapshot).status, 400);
}

// The description names every field the API writes, and only those.
TEST(SiteApi, TheOpenApiDescriptionMatchesTheDocuments) {
    const auto description = ParseJson(OpenApiDocument());
    ASSERT_TRUE(description);
    EXPECT_EQ(*description->String("openapi"), "3.0.3");
    const JsonValue& schemas = *description->Member("components", JsonValue::Type::kObject)
                                    ->Member("schemas", JsonValue::Type::kObject);
    const auto properties = [&](const char* schema) {
        return Keys(*schemas.Member(schema, JsonValue::Type::kObject)
                         ->Member("properties", JsonValue::Type::kObject));
    };
    const SiteSnapshot snapshot = MakeSnapshot();
    const JsonValue devices = Document(Get("/api/v1/devices"), snapshot);
    EXPECT_EQ(properties("Devices"), Keys(devices));
    const auto& device = devices.Member("devices", JsonValue::Type::kArray)->items[0];
    EXPECT_EQ(properties("Device"), Keys(device));
    EXPECT_EQ(properties("Address"),
              Keys(device.Member("addresses", JsonValue::Type::kArray)->items[0]));
    EXPECT_EQ(properties("Counts"), Keys(*devices.Member("counts", JsonValue::Type::kObject)));
    EXPECT_EQ(properties("Record"),
              Keys(devices.Member("records", JsonValue::Type::kArray)->items[0]));
    const JsonValue records = Document(Get("/api/v1/records"), snapshot);
    EXPECT_EQ(properties("Records"), Keys(records));
    EXPECT_EQ(properties("Log"), Keys(records.Member("logs", JsonValue::Type::kArray)->items[0]));
    EXPECT_EQ(properties("Events"), Keys(Document(Get("/api/v1/events"), snapshot)));
    // Every sort column the filter knows is in the description's list.
    const JsonValue& sort = *description->Member("components", JsonValue::Type::kObject)
                                 ->Member("parameters", JsonValue::Type::kObject)
                                 ->Member("sort", JsonValue::Type::kObject)
                                 ->Member("schema", JsonValue::Type::kObject)
                                 ->Member("enum", JsonValue::Type::kArray);
    ASSERT_EQ(sort.items.size(), std::size(kSortColumns));
    for (std::size_t i = 0; i < sort.items.size(); ++i) {
        EXPECT_EQ(sort.items[i].text, kSortColumns[i].second);
    }
}

}  // namespace
}  // namespace varnock::web
