#include "console/system.h"

#include <io.h>

#include <cstdio>

namespace varnock::console {

// Windows sends no signal for a closed pipe: the write fails by itself.
void IgnoreBrokenPipes() {}

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

// SendARP holds no descriptor of ours while it waits.
std::optional<std::uint64_t> OpenFileRoom() {
    return std::nullopt;
}

}  // namespace varnock::console
