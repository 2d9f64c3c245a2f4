#include "window/qt/window_move.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace varnock {

void RequestWindowMove(QWidget& window) {
    // The window manager's own interactive move (_NET_WM_MOVERESIZE on X11,
    // the compositor's on Wayland); Qt says false where none is offered.
    QWindow* handle = window.windowHandle();
    if (handle == nullptr || !handle->startSystemMove()) {
        return;
    }
    // A Wayland compositor keeps the rest of the drag, the release included,
    // to itself, and Qt 6.4 does not make up for it: the control that took
    // the press would keep every later move, and the close label would no
    // longer light up under the pointer. Qt's X11 platform ends the press
    // itself; here the release the program never saw is handed in.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        const QPointF global = QCursor::pos();
        QMouseEvent release(QEvent::MouseButtonRelease, handle->mapFromGlobal(global), global,
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &release);
    }
}

}  // namespace varnock
