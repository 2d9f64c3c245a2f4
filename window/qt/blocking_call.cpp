#include "window/qt/blocking_call.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <exception>
#include <thread>

namespace varnock {
namespace {

bool IsUserInput(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        // Hover would still light controls up, which reads as "clickable".
        case QEvent::Enter:
        case QEvent::Leave:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::HoverLeave:
            return true;
        case QEvent::Close:
            // Only the window manager's request; the program may still close.
            return event.spontaneous();
        default:
            return false;
    }
}

class InputDiscarder final : public QObject {
public:
    InputDiscarder() { qApp->installEventFilter(this); }
    ~InputDiscarder() override { qApp->removeEventFilter(this); }
    InputDiscarder(const InputDiscarder&) = delete;
    InputDiscarder& operator=(const InputDiscarder&) = delete;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (!IsUserInput(*event)) {
            return false;
        }
        event->ignore();
        return true;
    }
};

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::BusyCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

void RunWhileIgnoringInput(const std::function<void()>& work) {
    const BusyCursor busy;
    const InputDiscarder discarder;
    QEventLoop loop;
    std::exception_ptr failure;

    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued, so a worker that finishes before exec() starts still ends it.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // exec() also returns when the application is told to exit; the outcome
    // must still be the worker's, so wait for it either way.
    worker.join();
    // Input the window system delivered while we waited but that is not yet
    // dispatched must meet the filter too, or a click during the wait would
    // land right after it.
    QCoreApplication::processEvents();

    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace varnock
