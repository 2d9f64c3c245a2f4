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

    QPoint From() const { return from_; }
    QPoint To() const { return to_; }
    QColor Color() const { return color_; }
    int LineWidth() const { return width_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint from_;
    QPoint to_;
    QColor color_;
    int width_;
};

}  // namespace varnock
