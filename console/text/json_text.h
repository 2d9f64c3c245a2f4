#pragma once

#include <string>
#include <string_view>

namespace varnock::console {

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 become
// U+FFFD, so the document stays valid whatever a name or delimiter holds.
std::string JsonString(std::string_view text);

}  // namespace varnock::console
