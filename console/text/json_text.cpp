#include "console/text/json_text.h"

#include "console/text/utf8_text.h"
#include "lookup/hex_digits.h"

namespace varnock::console {
namespace {

constexpr std::string_view kReplacement = "\\ufffd";

// What a byte that is not UTF-8 becomes.
enum class NotUtf8 { kReplaced, kKept };

std::string Json(std::string_view text, NotUtf8 notUtf8) {
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
                } else if (notUtf8 == NotUtf8::kReplaced) {
                    json += kReplacement;
                } else {
                    // U+DC80 to U+DCFF, lone low surrogates, stand for the
                    // bytes 0x80 to 0xFF: no text holds them.
                    json += "\\udc";
                    AppendHexDigits(json, c, 2, HexLetters::kLower);
                }
        }
        text.remove_prefix(taken);
    }
    return json + '"';
}

}  // namespace

std::string JsonString(std::string_view text) {
    return Json(text, NotUtf8::kReplaced);
}

std::string JsonBytes(std::string_view text) {
    return Json(text, NotUtf8::kKept);
}

}  // namespace varnock::console
