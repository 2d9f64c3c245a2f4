#include "console/lookups/result_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "console/text/address_text.h"
#include "console/text/csv_text.h"
#include "console/text/json_text.h"
#include "console/text/terminal_text.h"

namespace varnock::console {
namespace {

constexpr std::string_view kColumnGap = "  ";

}  // namespace

std::string TargetColumn(const AddressResult& result, const ResultNaming& naming) {
    std::string column = AddressText(result.address, naming.interfaceName);
    if (!result.name.empty()) {
        column += " (" + result.name + ')';
    }
    return column;
}

std::string TextLine(const AddressResult& result, const Vendor& vendor,
                     const ResultNaming& naming) {
    std::string line = TerminalText(TargetColumn(result, naming));
    line.resize(std::max(line.size(), naming.column), ' ');
    line += kColumnGap;
    // The reason may carry the system's words, the hardware address the
    // user's delimiter, the vendor anything a list holds.
    if (!result.Answered()) {
        return line + TerminalText(result.reason);
    }
    line += TerminalText(*result.hardwareAddress);
    if (vendor.name) {
        line += kColumnGap;
        line += TerminalText(*vendor.name);
    } else if (vendor.locallyAdministered) {
        line += kColumnGap;
        line += "(locally administered)";
    }
    if (const auto& known = result.provenance; known && !known->confirmed) {
        line += kColumnGap;
        line += "(unconfirmed: " + known->state;
        if (known->sinceConfirmed) {
            line += ", last confirmed " + std::to_string(known->sinceConfirmed->count()) + " s ago";
        }
        line += ')';
    }
    if (result.alsoAnswersFor) {
        line += kColumnGap;
        line += "(proxy: also answers for " + *result.alsoAnswersFor + ')';
    }
    return line;
}

namespace {

// The values of the machine-readable fields, in their order: text or
// absent, and whether a present value is a string (quoted) or a literal
// (a number, true, false).
struct Field {
    const char* name;
    std::optional<std::string> value;
    bool literal = false;
};

std::vector<Field> Fields(const AddressResult& result, const Vendor& vendor,
                          const ResultNaming& naming) {
    const bool answered = result.Answered();
    const auto& known = result.provenance;
    std::optional<std::string> interface;
    if (result.interfaceIndex != 0) {
        if (std::string name = naming.interfaceName(result.interfaceIndex); !name.empty()) {
            interface = std::move(name);
        }
    }
    auto flag = [](bool value) { return std::optional<std::string>(value ? "true" : "false"); };
    return {
        {"target", result.given},
        {"address", AddressText(result.address, naming.interfaceName)},
        {"hardware_address", answered ? result.hardwareAddress : std::nullopt},
        {"vendor",
         answered && vendor.name ? std::optional<std::string>(*vendor.name) : std::nullopt},
        {"locally_administered", answered ? flag(vendor.locallyAdministered) : std::nullopt, true},
        {"reason", answered ? std::nullopt : std::optional(result.reason)},
        {"interface", interface},
        {"from_cache", answered ? flag(known.has_value()) : std::nullopt, true},
        {"confirmed", answered ? flag(!known || known->confirmed) : std::nullopt, true},
        {"state", known ? std::optional(known->state) : std::nullopt},
        {"seconds_since_confirmed",
         known && known->sinceConfirmed
             ? std::optional(std::to_string(known->sinceConfirmed->count()))
             : std::nullopt,
         true},
        {"last_known_hardware_address", result.lastKnownHardwareAddress},
        {"also_answers_for", result.alsoAnswersFor},
    };
}

}  // namespace

std::string JsonObject(const AddressResult& result, const Vendor& vendor,
                       const ResultNaming& naming) {
    std::string object = "{";
    for (const Field& field : Fields(result, vendor, naming)) {
        if (object.size() > 1) {
            object += ", ";
        }
        object += '"';
        object += field.name;
        object += "\": ";
        object += !field.value ? "null" : field.literal ? *field.value : JsonString(*field.value);
    }
    return object + '}';
}

std::string CsvHeader() {
    std::string header;
    for (const Field& field : Fields({}, {}, {[](std::uint32_t) { return std::string(); }})) {
        header += header.empty() ? "" : ",";
        header += field.name;
    }
    return header + "\r\n";
}

std::string CsvRecord(const AddressResult& result, const Vendor& vendor,
                      const ResultNaming& naming) {
    std::string record;
    bool first = true;
    for (const Field& field : Fields(result, vendor, naming)) {
        if (!first) {
            record += ',';
        }
        first = false;
        if (field.value) {
            record += CsvField(*field.value);
        }
    }
    return record + "\r\n";
}

}  // namespace varnock::console
