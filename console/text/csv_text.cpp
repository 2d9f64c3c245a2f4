#include "console/text/csv_text.h"

#include "console/text/utf8_text.h"

namespace varnock::console {

std::string CsvField(std::string_view text) {
    std::string field = ValidUtf8(text);
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

}  // namespace varnock::console
