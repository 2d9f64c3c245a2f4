#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace varnock::console {

// A command line that cannot be carried out as written: its message names
// the argument at fault, and the program exits with kExitUsage before it
// has asked for anything.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The argument as the user typed it, quoted so that an empty one shows.
inline std::string Quoted(std::string_view argument) {
    return '"' + std::string(argument) + '"';
}

}  // namespace varnock::console
