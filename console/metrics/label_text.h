#pragma once

#include <string>
#include <string_view>

namespace varnock::console {

// `bytes` as valid UTF-8: each byte that does not belong to a well-formed
// sequence (a stray continuation, an overlong form, a surrogate, past
// U+10FFFF, a sequence cut short) becomes U+FFFD. Interface names and the
// names file are bytes, and Prometheus refuses a scrape that is not UTF-8.
std::string ValidUtf8(std::string_view bytes);

// A label value as the text exposition format carries it between double
// quotes: valid UTF-8, with backslash, double quote and line feed escaped.
std::string LabelValue(std::string_view bytes);

}  // namespace varnock::console
