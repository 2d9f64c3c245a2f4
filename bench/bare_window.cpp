// The peer of window_startup: a bare Qt Widgets window of the same size and
// kind (fixed, borderless, a plain background), nothing in it, measured the
// same way in the same run. With --one-label it holds a single line of text
// in the default font: what drawing any text at all adds to a start.

#include <QApplication>
#include <QLabel>
#include <cstring>
#include <QWidget>

#include "bench/first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(372, 232);
    window.setAutoFillBackground(true);
    if (argc > 1 && std::strcmp(argv[1], "--one-label") == 0) {
        auto* label = new QLabel(QStringLiteral("Remote Ip Address"), &window);
        label->setGeometry(9, 41, 131, 19);
    }
    varnock::bench::FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    return QApplication::exec();
}
