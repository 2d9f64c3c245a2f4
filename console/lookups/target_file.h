#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/lookups/targets.h"
#include "console/system.h"

namespace varnock::console {

// A line of a target file holds one target and the blanks around it: no
// more than this. Comment lines may be longer; they are skipped unread.
inline constexpr std::size_t kLongestTargetLine = 1024;

// Appends the targets of `file`, one a line (blank lines and lines starting
// with '#' skipped; blanks around a target ignored), to `all`, a line at a
// time, so that reading stops as soon as the file breaks a rule. Throws
// UsageError naming the file (`name`, "-" for standard input) and the line:
// a target ExpandTargets refuses, a line longer than kLongestTargetLine, one
// address too many (kMaxAddresses in all), or a file that cannot be read (a
// directory, a closed standard input).
void AppendTargetFile(InputFile& file, const std::string& name, const TargetSystem& system,
                      std::vector<Target>& all);

}  // namespace varnock::console
