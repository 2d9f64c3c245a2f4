#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnock::console {

// The length of the well-formed UTF-8 sequence at the start of `text` (1
// for ASCII), or 0 when there is none or `text` is empty: overlong forms,
// surrogates, code points past U+10FFFF and cut sequences are not
// (RFC 3629's table of well-formed byte sequences).
std::size_t Utf8SequenceLength(std::string_view text);

// Whether all of `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// `bytes` as valid UTF-8: each byte that does not belong to a well-formed
// sequence (a stray continuation, an overlong form, a surrogate, past
// U+10FFFF, a sequence cut short) becomes U+FFFD. Interface names and the
// names file are bytes; a CSV file, a page or a scrape must be text.
std::string ValidUtf8(std::string_view bytes);

}  // namespace varnock::console
