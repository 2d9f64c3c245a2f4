#include "web/site/escape.h"

#include "console/text/csv_text.h"
#include "console/text/json_text.h"
#include "console/text/utf8_text.h"

namespace varnock::web {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// UTF-8 without the control characters HTML forbids (tab and line ends stay).
template <typename Escape>
std::string Clean(std::string_view text, Escape escape) {
    std::string clean;
    clean.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        std::size_t taken = 1;
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
                clean += kReplacement;
            } else {
                escape(clean, static_cast<char>(c));
            }
        } else if (const std::size_t length = console::Utf8SequenceLength(text); length > 0) {
            clean += text.substr(0, length);
            taken = length;
        } else {
            clean += kReplacement;
        }
        text.remove_prefix(taken);
    }
    return clean;
}

// `c` between tags, or in a quoted attribute's value (where quotes end it).
void AppendHtml(std::string& out, char c, bool inAttribute) {
    switch (c) {
        case '&':
            out += "&amp;";
            return;
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '"':
            out += inAttribute ? "&quot;" : "\"";
            return;
        case '\'':
            out += inAttribute ? "&#39;" : "'";
            return;
        default:
            out += c;
    }
}

}  // namespace

std::string HtmlText(std::string_view text) {
    return Clean(text, [](std::string& out, char c) { AppendHtml(out, c, false); });
}

std::string HtmlAttribute(std::string_view text) {
    return Clean(text, [](std::string& out, char c) { AppendHtml(out, c, true); });
}

std::string JsonText(std::string_view text) {
    return console::JsonString(text);
}

std::string CsvCell(std::string_view text) {
    std::string cell = Clean(text, [](std::string& out, char c) { out += c; });
    if (!cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string::npos) {
        cell.insert(cell.begin(), '\'');
    }
    return console::CsvField(cell);
}

std::string UrlComponent(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kDigits[byte >> 4];
            encoded += kDigits[byte & 0x0F];
        }
    }
    return encoded;
}

}  // namespace varnock::web
