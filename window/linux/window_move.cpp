#include "window/window_move.h"

#include <QWidget>
#include <QWindow>

namespace varnock {

void RequestWindowMove(QWidget& window) {
    // The window manager's own interactive move (_NET_WM_MOVERESIZE on X11,
    // the compositor's on Wayland); Qt says false where none is offered.
    if (QWindow* handle = window.windowHandle()) {
        handle->startSystemMove();
    }
}

}  // namespace varnock
