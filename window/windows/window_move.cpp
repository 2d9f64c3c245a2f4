#include "window/window_move.h"

#include <QWidget>

#include "window/windows/caption_drag.h"

namespace varnock {

void RequestWindowMove(QWidget& window) {
    BeginCaptionDrag(static_cast<std::uintptr_t>(window.winId()));
}

}  // namespace varnock
