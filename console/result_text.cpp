#include "console/result_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "console/targets.h"
#include "console/terminal_text.h"

namespace varnock::console {
namespace {

constexpr std::string_view kColumnGap = "  ";
constexpr std::string_view kReplacement = "\\ufffd";

}  // namespace

std::string TargetColumn(const AddressResult& result, const ResultNaming& naming) {
    std::string column = AddressText(result.address, naming.interfaceName);
    if (!result.name.empty()) {
        column += " (" + result.name + ')';
    }
    return column;
}

std::string TextLine(const AddressResult& result, std::optional<std::string_view> vendor,
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
    if (vendor) {
        line += kColumnGap;
        line += TerminalText(*vendor);
    }
    if (const auto& known = result.provenance; known && !known->confirmed) {
        line += kColumnGap;
        line += "(unconfirmed: " + known->state;
        if (known->sinceConfirmed) {
            line += ", last confirmed " + std::to_string(known->sinceConfirmed->count()) + " s ago";
        }
        line += ')';
    }
    return line;
}

std::string JsonObject(const AddressResult& result, std::optional<std::string_view> vendor,
                       const ResultNaming& naming) {
    std::string object =
        "{\"address\": " + JsonString(AddressText(result.address, naming.interfaceName));
    object += ", \"hardware_address\": ";
    object += result.Answered() ? JsonString(*result.hardwareAddress) : "null";
    object += ", \"reason\": ";
    object += result.Answered() ? "null" : JsonString(result.reason);
    if (vendor) {
        object += ", \"vendor\": " + JsonString(*vendor);
    }
    if (!result.name.empty()) {
        object += ", \"name\": " + JsonString(result.name);
    }
    if (result.interfaceIndex != 0) {
        if (const std::string name = naming.interfaceName(result.interfaceIndex); !name.empty()) {
            object += ", \"interface\": " + JsonString(name);
        }
    }
    if (const auto& known = result.provenance) {
        object += ", \"confirmed\": ";
        object += known->confirmed ? "true" : "false";
        object += ", \"state\": " + JsonString(known->state);
        object += ", \"seconds_since_confirmed\": ";
        object += known->sinceConfirmed ? std::to_string(known->sinceConfirmed->count()) : "null";
    }
    return object + '}';
}

std::string JsonString(std::string_view text) {
    static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::string json = "\"";
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        std::size_t taken = 1;
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (c < 0x20) {
                    json += "\\u00";
                    json += kHex[c >> 4];
                    json += kHex[c & 0xF];
                } else if (c < 0x80) {
                    json += static_cast<char>(c);
                } else if (const std::size_t length = Utf8SequenceLength(text); length > 0) {
                    json += text.substr(0, length);
                    taken = length;
                } else {
                    json += kReplacement;
                }
        }
        text.remove_prefix(taken);
    }
    return json + '"';
}

}  // namespace varnock::console
