#include "console/event_hook.h"

namespace varnock::console {

// Not yet: --exec is refused on Windows.
std::unique_ptr<EventHook> MakeEventHook(const std::string&, std::chrono::milliseconds) {
    return nullptr;
}

}  // namespace varnock::console
