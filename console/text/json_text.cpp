#include "console/text/json_text.h"

#include "console/text/terminal_text.h"
#include "lookup/hex_digits.h"

namespace varnock::console {
namespace {

constexpr std::string_view kReplacement = "\\ufffd";

}  // namespace

std::string JsonString(std::string_view text) {
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
                    AppendHexDigits(json, c, 2, HexLetters::kLower);
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
