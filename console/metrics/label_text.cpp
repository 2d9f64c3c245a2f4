#include "console/metrics/label_text.h"

#include "console/text/utf8_text.h"

namespace varnock::console {

std::string LabelValue(std::string_view bytes) {
    const std::string valid = ValidUtf8(bytes);
    std::string text;
    text.reserve(valid.size());
    for (const char c : valid) {
        switch (c) {
            case '\\':
                text += "\\\\";
                break;
            case '"':
                text += "\\\"";
                break;
            case '\n':
                text += "\\n";
                break;
            default:
                text += c;
        }
    }
    return text;
}

}  // namespace varnock::console
