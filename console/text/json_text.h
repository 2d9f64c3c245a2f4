#pragma once

#include <string>
#include <string_view>

namespace varnock::console {

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 become
// U+FFFD, so the document stays valid whatever a name or delimiter holds.
std::string JsonString(std::string_view text);

// `text` as a JSON string that gives back the same bytes: valid UTF-8 as it
// is, each other byte 0xXX (0x80 to 0xFF) as the escape \udcXX, a lone low
// surrogate, which no text holds (the watch's record file reader turns it
// back into the byte). For what must come back byte for byte, such as the
// kernel's interface names.
std::string JsonBytes(std::string_view text);

}  // namespace varnock::console
