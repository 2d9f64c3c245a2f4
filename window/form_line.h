#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

namespace varnock {

// A solid line drawn on a form between two points of the form. It is a
// widget of its own only so that it takes a place in the stacking order:
// it never takes the focus and lets the mouse through to what lies below.
class FormLine final : public QWidget {
    Q_OBJECT

public:
    FormLine(QPoint from, QPoint to, const QColor& color, int width, QWidget* form);

    QPoint from() const { return from_; }
    QPoint to() const { return to_; }
    QColor color() const { return color_; }
    int lineWidth() const { return width_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint from_;
    QPoint to_;
    QColor color_;
    int width_;
};

}  // namespace varnock
