#include "console/system.h"

#include <io.h>

#include <cstdio>

namespace varnock::console {

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

// SendARP holds no descriptor of ours while it waits.
std::optional<std::uint64_t> OpenFileRoom() {
    return std::nullopt;
}

}  // namespace varnock::console
