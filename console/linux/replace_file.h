#pragma once

#include <functional>
#include <optional>
#include <string>

namespace varnock::console {

// ReplaceFileContents (console/system.h) with the temporary file's names
// drawn from `nextName` rather than at random, so that a test can plant
// links at the very names it tries: a name taken by anything (a link
// included) is passed over, at most 16 times.
std::optional<std::string> ReplaceFileContents(const std::string& path, const std::string& text,
                                               const std::function<std::string()>& nextName);

}  // namespace varnock::console
