#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "console/text/terminal_text.h"

namespace varnock::console {

// A command line that cannot be carried out as written: its message names
// the argument at fault, and the program exits with kExitUsage before it
// has asked for anything.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace varnock::console
