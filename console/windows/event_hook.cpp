#include "console/event_hook.h"

namespace varnock::console {

// Not yet: --exec is refused on Windows.
std::unique_ptr<EventHook> MakeEventHook(const std::string&) {
    return nullptr;
}

}  // namespace varnock::console
