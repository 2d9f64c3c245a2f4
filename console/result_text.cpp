#include "console/result_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "console/address_arguments.h"

namespace varnock::console {
namespace {

// The widest dotted address, so that the second column lines up.
constexpr std::size_t kAddressColumn = 15;
constexpr std::string_view kColumnGap = "  ";
constexpr std::string_view kReplacement = "\\ufffd";

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// (overlong forms, surrogates and code points past U+10FFFF are not).
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string TextLine(const AddressResult& result, std::optional<std::string_view> vendor) {
    std::string line = DottedText(result.address);
    line.resize(std::max(line.size(), kAddressColumn), ' ');
    line += kColumnGap;
    if (!result.Answered()) {
        return line + result.reason;
    }
    line += *result.hardwareAddress;
    if (vendor) {
        line += kColumnGap;
        line += *vendor;
    }
    return line;
}

std::string JsonObject(const AddressResult& result, std::optional<std::string_view> vendor) {
    std::string object = "{\"address\": " + JsonString(DottedText(result.address));
    object += ", \"hardware_address\": ";
    object += result.Answered() ? JsonString(*result.hardwareAddress) : "null";
    object += ", \"reason\": ";
    object += result.Answered() ? "null" : JsonString(result.reason);
    if (vendor) {
        object += ", \"vendor\": " + JsonString(*vendor);
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
