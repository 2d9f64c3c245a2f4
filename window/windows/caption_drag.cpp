#include "window/windows/caption_drag.h"

#include <windows.h>

namespace varnock {

void BeginCaptionDrag(std::uintptr_t window) {
    // The press gave this window the mouse capture; the system's move loop
    // needs the mouse for itself.
    ReleaseCapture();
    // WM_NCLBUTTONDOWN (0xA1) with HTCAPTION (2): a press on the caption.
    // lParam carries the address of a zero rather than a pointer position.
    // SendMessageA returns when the move is over. Neither result says
    // anything the program could act on.
    std::int32_t zero = 0;
    SendMessageA(reinterpret_cast<HWND>(window), WM_NCLBUTTONDOWN, HTCAPTION,
                 reinterpret_cast<LPARAM>(&zero));
}

}  // namespace varnock
