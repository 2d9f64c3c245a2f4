#pragma once

#include <string>
#include <string_view>

namespace varnock::console {

// A label value as the text exposition format carries it between double
// quotes: valid UTF-8, with backslash, double quote and line feed escaped.
std::string LabelValue(std::string_view bytes);

}  // namespace varnock::console
