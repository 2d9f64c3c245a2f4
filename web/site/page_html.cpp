#include "web/site/page_html.h"

#include <cstdio>

#include "console/text/utc_text.h"
#include "web/site/escape.h"
#include "web/site/site_assets.h"

namespace varnock::web {
namespace {

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" +
           HtmlText(title) +
           "</title>\n"
           "<link rel=\"stylesheet\" href=\"" +
           AssetPath("style.css") +
           "\">\n"
           "<link rel=\"icon\" type=\"image/svg+xml\" href=\"" +
           AssetPath("icon.svg") +
           "\">\n"
           "<script src=\"" +
           AssetPath("app.js") + "\" defer></script>\n</head>\n";
}

std::string Banner(const std::string& heading) {
    return "<header class=\"top\">\n<a class=\"home\" href=\"/\"><img src=\"" +
           AssetPath("icon.svg") + "\" alt=\"\" width=\"32\" height=\"32\"> Varnock</a>\n<h1>" +
           heading + "</h1>\n";
}

std::string TimeElement(WallClock::time_point time) {
    const std::string text = console::UtcText(time);
    return "<time datetime=\"" + HtmlAttribute(text) + "\">" + HtmlText(text) + "</time>";
}

constexpr std::string_view kRandomMark =
    "<abbr class=\"random\" title=\"locally administered (random)\">random</abbr>";

std::string DevicePath(const Device& device) {
    return "/device/" + UrlComponent(device.interfaceName) + "/" + device.hardwareText;
}

// What the script sorts an addresses cell by: the first address as
// numbers, IPv4 before IPv6 (app.js makes the same key from the text).
std::string AddressSortKey(const Device& device) {
    if (device.addresses.empty()) {
        return "";
    }
    const IpAddress& address = device.addresses.front().address;
    std::string key = address.IsV6() ? "6:" : "4:";
    for (std::size_t i = 0; i < address.Size(); ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", address.bytes[i]);
        key += hex;
    }
    return key;
}

std::string DeviceRow(const Device& device, WallClock::time_point newSince) {
    const std::string time = console::UtcText(device.firstSeen);
    std::string row = "<tr data-device=\"" + HtmlAttribute(device.Key()) + "\" data-state=\"" +
                      (device.up ? "up" : "stopped") + "\" data-random=\"" +
                      (device.locallyAdministered ? "1" : "0") + "\" data-named=\"" +
                      (device.Known() ? "1" : "0") + "\" data-first-seen=\"" + HtmlAttribute(time) +
                      "\">\n";
    row += "<td class=\"hw\"><a href=\"" + HtmlAttribute(DevicePath(device)) + "\">" +
           HtmlText(device.hardwareText) + "</a>";
    if (device.locallyAdministered) {
        row += " ";
        row += kRandomMark;
    }
    row += "</td>\n<td data-value=\"" +
           HtmlAttribute(device.name ? device.name->name : std::string()) + "\">";
    if (device.name) {
        row += HtmlText(device.name->name);
        if (device.name->note) {
            row += " <span class=\"note\">" + HtmlText(*device.name->note) + "</span>";
        }
    }
    row += "</td>\n<td>" + HtmlText(device.vendor.value_or("")) + "</td>\n<td>" +
           HtmlText(device.interfaceName) + "</td>\n<td data-value=\"" +
           HtmlAttribute(AddressSortKey(device)) + "\"><ul class=\"addresses\">";
    for (const DeviceAddress& address : device.addresses) {
        row += address.answering ? "<li>" : "<li class=\"silent\" title=\"not answering\">";
        row += HtmlText(address.text) + "</li>";
    }
    row += "</ul></td>\n<td>" + TimeElement(device.firstSeen) + "</td>\n<td>" +
           TimeElement(device.lastSeen) + "</td>\n<td data-value=\"" + (device.up ? "0" : "1") +
           "\"><span class=\"state " + (device.up ? "up\">up" : "stopped\">stopped") + "</span>";
    if (device.firstSeen >= newSince) {
        row += " <span class=\"new\">new</span>";
    }
    return row + "</td>\n</tr>\n";
}

std::string Counts(const DeviceCounts& counts) {
    const auto number = [](const char* which, std::size_t value, const char* words) {
        return std::string("<span data-count=\"") + which + "\">" + std::to_string(value) +
               "</span> " + words;
    };
    return "<p id=\"counts\" data-total=\"" + std::to_string(counts.total) + "\" data-up=\"" +
           std::to_string(counts.up) + "\" data-stopped=\"" + std::to_string(counts.stopped) +
           "\" data-new=\"" + std::to_string(counts.fresh) + "\" data-random=\"" +
           std::to_string(counts.random) + "\" data-unnamed=\"" + std::to_string(counts.unnamed) +
           "\" data-new-since=\"" + HtmlAttribute(console::UtcText(counts.newSince)) + "\">" +
           number("total", counts.total, "devices") + " · " + number("up", counts.up, "up") +
           " · " + number("stopped", counts.stopped, "stopped") + " · " +
           number("new", counts.fresh, "new") + " · " + number("random", counts.random, "random") +
           " · " + number("unnamed", counts.unnamed, "unnamed") + "</p>\n";
}

std::string FilterForm(const DeviceFilter& filter) {
    const auto selected = [&](std::optional<bool> value) {
        return filter.up == value ? " selected" : "";
    };
    std::string form =
        "<form id=\"filters\" method=\"get\" action=\"/\" role=\"search\">\n"
        "<div class=\"field\"><label for=\"q\">Find</label> <input id=\"q\" name=\"q\" "
        "type=\"search\" value=\"" +
        HtmlAttribute(filter.text) +
        "\" placeholder=\"address, name, vendor, interface\"></div>\n"
        "<div class=\"field\"><label for=\"state\">State</label> <select id=\"state\" "
        "name=\"state\">"
        "<option value=\"\"" +
        selected(std::nullopt) + ">any</option><option value=\"up\"" + selected(true) +
        ">up</option><option value=\"stopped\"" + selected(false) +
        ">stopped</option></select></div>\n"
        "<div class=\"field\"><label for=\"new_since\">New since (UTC)</label> <input "
        "id=\"new_since\" name=\"new_since\" value=\"" +
        HtmlAttribute(filter.newSince ? console::UtcText(*filter.newSince) : "") +
        "\" placeholder=\"2026-12-07T14:00:00Z\" "
        "pattern=\"\\d{4}-\\d{2}-\\d{2}(T\\d{2}:\\d{2}(:\\d{2})?Z?)?\"></div>\n"
        "<div class=\"field check\"><input type=\"checkbox\" id=\"random\" name=\"random\" "
        "value=\"1\"" +
        (filter.randomOnly ? " checked" : "") +
        "> <label for=\"random\">random addresses only</label></div>\n"
        "<div class=\"field check\"><input type=\"checkbox\" id=\"unnamed\" name=\"unnamed\" "
        "value=\"1\"" +
        (filter.unnamedOnly ? " checked" : "") +
        "> <label for=\"unnamed\">unnamed only</label></div>\n";
    if (filter.sort) {
        form += std::string("<input type=\"hidden\" name=\"sort\" value=\"") +
                SortColumnName(*filter.sort) + "\">\n";
    }
    if (filter.descending) {
        form += "<input type=\"hidden\" name=\"order\" value=\"desc\">\n";
    }
    return form + "<div class=\"field\"><button type=\"submit\">Show</button></div>\n</form>\n";
}

std::string HeaderRow(const DeviceFilter& filter) {
    static constexpr const char* kTitles[] = {"Hardware address", "Name",      "Vendor",
                                              "Interface",        "Addresses", "First seen",
                                              "Last seen",        "State"};
    std::string row = "<tr>";
    std::size_t i = 0;
    for (const auto& [column, name] : kSortColumns) {
        const bool sorted = filter.sort == column;
        DeviceFilter link = filter;
        link.sort = column;
        link.descending = sorted && !filter.descending;
        row += std::string("<th scope=\"col\" data-sort=\"") + name + "\"";
        if (sorted) {
            row += filter.descending ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"";
        }
        row += "><a class=\"sort\" href=\"/?" + HtmlAttribute(link.QueryText()) + "\">" +
               kTitles[i++] + "</a></th>";
    }
    return row + "</tr>\n";
}

std::string RecordProblems(const SiteSnapshot& snapshot) {
    std::string items;
    for (const RecordStatus& record : snapshot.records) {
        if (record.state != RecordStatus::State::kReadable) {
            items += "<li data-record=\"" + HtmlAttribute(record.path) + "\"><code>" +
                     HtmlText(record.path) + "</code> is <strong>" + StateName(record.state) +
                     "</strong>: " + HtmlText(record.problem) + "</li>\n";
        }
    }
    if (snapshot.records.empty()) {
        items +=
            "<li>No watch record is given: start varnock-web with --state FILE or "
            "--state-dir DIR.</li>\n";
    }
    if (items.empty()) {
        return "";
    }
    return "<div id=\"record-problems\" role=\"alert\">\n<h2>Records that cannot be shown</h2>\n"
           "<p>The devices below leave out what these records hold.</p>\n<ul>\n" +
           items + "</ul>\n</div>\n";
}

// Logs, names files and vendor lists that could not be used all or in part:
// the inventory stands, but a name or a history may be missing.
std::string OtherProblems(const SiteSnapshot& snapshot) {
    std::string items;
    for (const LogStatus& log : snapshot.logs) {
        if (!log.problem.empty()) {
            items += "<li>the log <code>" + HtmlText(log.path) +
                     "</code> cannot be read: " + HtmlText(log.problem) + "</li>\n";
        } else if (log.badLines > 0) {
            items += "<li>the log <code>" + HtmlText(log.path) +
                     "</code>: " + std::to_string(log.badLines) +
                     " lines that are no event, skipped</li>\n";
        }
    }
    for (const auto* problems : {&snapshot.nameProblems, &snapshot.vendorProblems}) {
        for (const std::string& problem : *problems) {
            items += "<li>" + HtmlText(problem) + "</li>\n";
        }
    }
    if (items.empty()) {
        return "";
    }
    return "<details id=\"other-problems\">\n<summary>Logs, names and vendor lists with "
           "problems</summary>\n<ul>\n" +
           items + "</ul>\n</details>\n";
}

std::string Footer(const SiteSnapshot& snapshot) {
    std::string footer = "<footer>\n<h2>Records</h2>\n<ul class=\"records\">\n";
    for (const RecordStatus& record : snapshot.records) {
        footer += "<li><code>" + HtmlText(record.path) + "</code>: ";
        if (record.state == RecordStatus::State::kReadable) {
            footer += std::to_string(record.neighbours) + " addresses, saved " +
                      (record.saved ? TimeElement(*record.saved) : "at an unknown time");
        } else {
            footer += StateName(record.state);
        }
        footer += "</li>\n";
    }
    return footer + "</ul>\n<p>Read " + TimeElement(snapshot.generated) +
           " · <a href=\"/api/v1/openapi.json\">API description</a> · "
           "<a href=\"/api/v1/records\">records as JSON</a></p>\n</footer>\n";
}

std::string EventDetails(const LogEvent& event) {
    if (event.type == "changed" && !event.previous.empty()) {
        return HtmlText(HardwareAddressText(event.previous, ":")) + " → " +
               HtmlText(HardwareAddressText(event.hardwareAddress, ":"));
    }
    if (event.type == "many" || event.type == "burst") {
        std::string list;
        for (const std::string& address : event.addresses) {
            list += (list.empty() ? "" : ", ") + address;
        }
        return event.type == "many" ? "answers for " + HtmlText(list)
                                    : HtmlText(event.count) + " new addresses: " + HtmlText(list);
    }
    return HtmlText(HardwareAddressText(event.hardwareAddress, ":"));
}

}  // namespace

std::string InventoryPage(const SiteSnapshot& snapshot, const DeviceFilter& filter) {
    const DeviceCounts counts = CountDevices(snapshot, filter);
    const auto shown = SelectDevices(snapshot, filter);
    const std::string query = filter.QueryText();
    const std::string suffix = query.empty() ? "" : "?" + query;
    std::string page = Head("Varnock: devices");
    page +=
        "<body data-refresh=\"2000\">\n<a class=\"skip\" href=\"#devices\">Skip to the "
        "devices</a>\n";
    page += Banner("Devices") + Counts(counts) + "</header>\n<main>\n";
    page += RecordProblems(snapshot) + OtherProblems(snapshot) + FilterForm(filter);
    page += "<p class=\"exports\">Export what is shown: <a id=\"export-csv\" href=\"" +
            HtmlAttribute("/api/v1/devices.csv" + suffix) +
            "\" download>CSV</a> · <a id=\"export-json\" href=\"" +
            HtmlAttribute("/api/v1/devices" + suffix) + "\">JSON</a></p>\n";
    page +=
        "<div class=\"table-wrap\" role=\"region\" aria-labelledby=\"devices-caption\" "
        "tabindex=\"0\">\n<table id=\"devices\">\n<caption id=\"devices-caption\">Devices seen "
        "by the watches: <span id=\"shown\">" +
        std::to_string(shown.size()) + "</span> shown</caption>\n<thead>\n" + HeaderRow(filter) +
        "</thead>\n<tbody>\n";
    for (const Device* device : shown) {
        page += DeviceRow(*device, counts.newSince);
    }
    page += "</tbody>\n</table>\n</div>\n";
    page += std::string("<p id=\"empty\"") + (shown.empty() ? "" : " hidden") + ">" +
            (snapshot.devices.empty() ? "No device in the records." : "No device matches.") +
            "</p>\n";
    return page + "</main>\n" + Footer(snapshot) + "</body>\n</html>\n";
}

std::string DevicePage(const SiteSnapshot& snapshot, const Device& device) {
    std::string heading = HtmlText(device.hardwareText);
    if (device.locallyAdministered) {
        heading += " ";
        heading += kRandomMark;
    }
    std::string page = Head("Varnock: " + device.hardwareText + " on " + device.interfaceName);
    page += "<body class=\"device\">\n" + Banner(heading) + "</header>\n<main>\n";
    page += "<p><a href=\"/\">All devices</a></p>\n<dl class=\"facts\">\n";
    const auto fact = [&page](const char* term, const std::string& html) {
        page += std::string("<dt>") + term + "</dt><dd>" + html + "</dd>\n";
    };
    fact("Name", device.name ? HtmlText(device.name->name) : "none (unknown)");
    if (device.name && device.name->note) {
        fact("Note", HtmlText(*device.name->note));
    }
    fact("Vendor", device.vendor ? HtmlText(*device.vendor)
                                 : (device.locallyAdministered ? "none (a random address)"
                                                               : "not in the vendor lists"));
    fact("Interface", HtmlText(device.interfaceName));
    fact("State", device.up ? "<span class=\"state up\">up</span>"
                            : "<span class=\"state stopped\">stopped</span>");
    fact("First seen", TimeElement(device.firstSeen));
    fact("Last seen", TimeElement(device.lastSeen));
    fact("Record", "<code>" + HtmlText(device.record) + "</code>");
    page +=
        "</dl>\n<h2>Addresses</h2>\n<div class=\"table-wrap\" role=\"region\" "
        "aria-label=\"Addresses\" tabindex=\"0\">\n<table "
        "id=\"addresses\">\n<caption>Every address it answered for</caption>\n<thead><tr><th "
        "scope=\"col\">Address</th><th scope=\"col\">Family</th><th "
        "scope=\"col\">Answering</th><th scope=\"col\">First seen</th><th scope=\"col\">Last "
        "seen</th></tr></thead>\n<tbody>\n";
    for (const DeviceAddress& address : device.addresses) {
        page += "<tr><td>" + HtmlText(address.text) + "</td><td>" +
                (address.address.IsV6() ? "IPv6" : "IPv4") + "</td><td>" +
                (address.answering ? "yes" : "no") + "</td><td>" + TimeElement(address.firstSeen) +
                "</td><td>" + TimeElement(address.lastSeen) + "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n</div>\n<h2>History</h2>\n";
    const auto history = snapshot.HistoryOf(device);
    if (snapshot.logs.empty()) {
        page += "<p id=\"history-none\">no history: the watch keeps no --log</p>\n";
    } else if (history.empty()) {
        page += "<p id=\"history-none\">Nothing in the watches' logs about this device.</p>\n";
    } else {
        page +=
            "<div class=\"table-wrap\" role=\"region\" aria-label=\"History\" "
            "tabindex=\"0\">\n<table "
            "id=\"history\">\n<caption>What the watches "
            "told of it, oldest first</caption>\n<thead><tr><th scope=\"col\">Time</th><th "
            "scope=\"col\">Event</th><th scope=\"col\">Address</th><th "
            "scope=\"col\">Details</th></tr></thead>\n<tbody>\n";
        for (const LogEvent* event : history) {
            page += "<tr class=\"event " + HtmlAttribute(event->type) + "\"><td>" +
                    TimeElement(event->time) + "</td><td>" + HtmlText(event->type) + "</td><td>" +
                    HtmlText(event->address) + "</td><td>" + EventDetails(*event) + "</td></tr>\n";
        }
        page += "</tbody>\n</table>\n</div>\n";
    }
    page += "<p><a href=\"" +
            HtmlAttribute("/api/v1/devices/" + UrlComponent(device.interfaceName) + "/" +
                          device.hardwareText) +
            "\">This device as JSON</a></p>\n</main>\n";
    return page + Footer(snapshot) + "</body>\n</html>\n";
}

std::string MessagePage(const std::string& title, const std::string& message) {
    return Head("Varnock: " + title) + "<body>\n" + Banner(HtmlText(title)) +
           "</header>\n<main>\n<p class=\"message\">" + HtmlText(message) +
           "</p>\n<p><a href=\"/\">All devices</a></p>\n</main>\n</body>\n</html>\n";
}

}  // namespace varnock::web
