#include "window/flat_controls.h"

#include <QPainter>

namespace varnock {
namespace {

void DrawFlatBorder(QWidget& widget) {
    QPainter painter(&widget);
    painter.setPen(QColor(kWindowFrameColor));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(widget.rect().adjusted(0, 0, -1, -1));
}

}  // namespace

FlatBorderLabel::FlatBorderLabel(QWidget* parent) : QLabel(parent) {
    setContentsMargins(1, 1, 1, 1);
}

void FlatBorderLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    DrawFlatBorder(*this);
}

FlatTextBox::FlatTextBox(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(1, 1, 1, 1);
}

void FlatTextBox::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    DrawFlatBorder(*this);
}

}  // namespace varnock
