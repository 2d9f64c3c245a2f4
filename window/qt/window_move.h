#pragma once

class QWidget;

namespace varnock {

// Hands the movement of `window` to the window manager: the window follows
// the pointer until the button that is down now is released, and the
// program tracks nothing itself. Call it while a button is down over the
// window. Whether the window manager took the move is not reported: where
// it cannot (no window manager, Qt's offscreen platform) nothing moves.
void RequestWindowMove(QWidget& window);

}  // namespace varnock
