#include "window/qt/form_line.h"

#include <QPainter>
#include <QPen>

namespace varnock {

FormLine::FormLine(QPoint from, QPoint to, const QColor& color, int width, QWidget* form)
    : QWidget(form), from_(from), to_(to), color_(color), width_(width) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // Room for the pen's half width and its round ends on every side.
    const int reach = width / 2 + 1;
    setGeometry(QRect(from, to).normalized().adjusted(-reach, -reach, reach, reach));
}

void FormLine::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // Thick lines get round ends, as thick lines of the classic graphics
    // interface had; no antialiasing, so the colour stays exact.
    painter.setPen(QPen(color_, width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Through the middle of the pixels the points name, as Qt draws an
    // aliased line on a plain screen; without it a screen with two device
    // pixels to the logical one got every line half a pixel too high.
    painter.translate(0.5, 0.5);
    painter.drawLine(from_ - pos(), to_ - pos());
}

}  // namespace varnock
