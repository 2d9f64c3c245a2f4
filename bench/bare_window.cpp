// Beneath the window and its plain peer (plain_form.cpp): a bare Qt Widgets
// window of the same size and kind (fixed, borderless, a plain background),
// nothing in it, measured the same way in the same run. What Qt itself costs
// before any control or text.

#include <QApplication>
#include <QWidget>

#include "bench/first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(372, 232);
    window.setAutoFillBackground(true);
    varnock::bench::FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    return QApplication::exec();
}
