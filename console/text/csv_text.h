#pragma once

#include <string>
#include <string_view>

namespace varnock::console {

// One CSV field (RFC 4180): `text` as valid UTF-8 (U+FFFD for each byte that
// is not), in double quotes, doubled inside, when it holds a comma, a quote
// or a line end.
std::string CsvField(std::string_view text);

}  // namespace varnock::console
