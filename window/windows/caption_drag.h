#pragma once

#include <cstdint>

namespace varnock {

// Lets the system move the top-level window `window` (an HWND) as if the
// left button had just gone down on its caption: the system's own move loop
// runs until the button is released. Call it from a button-down handler.
void BeginCaptionDrag(std::uintptr_t window);

}  // namespace varnock
