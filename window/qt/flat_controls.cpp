#include "window/qt/flat_controls.h"

#include <QPainter>

namespace varnock {
namespace {

void DrawFlatBorder(QWidget& widget) {
    // One logical pixel on each side, filled rather than stroked: a stroked
    // one-pixel pen is centred on the pixel's edge, so on a screen with two
    // device pixels to the logical one it came out half as wide and half a
    // pixel inwards.
    QPainter painter(&widget);
    const QRect edge = widget.rect();
    const QColor color(kWindowFrameColor);
    painter.fillRect(QRect(edge.left(), edge.top(), edge.width(), 1), color);
    painter.fillRect(QRect(edge.left(), edge.bottom(), edge.width(), 1), color);
    painter.fillRect(QRect(edge.left(), edge.top(), 1, edge.height()), color);
    painter.fillRect(QRect(edge.right(), edge.top(), 1, edge.height()), color);
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

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void FlatButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(rect(), colors.color(QPalette::Button));
    const int shift = isDown() ? 1 : 0;
    painter.setPen(colors.color(QPalette::ButtonText));
    painter.drawText(rect().translated(shift, shift), Qt::AlignCenter | Qt::TextShowMnemonic,
                     text());
    if (hasFocus()) {
        painter.setPen(QPen(colors.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
    painter.end();
    DrawFlatBorder(*this);
}

}  // namespace varnock
