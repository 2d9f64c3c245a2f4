#pragma once

// The flat look of the window's bordered controls: a one-pixel line in the
// window-frame colour around an otherwise plain control. Qt's own frames
// are either styled (bevels, rounded corners) or drawn in the text colour,
// which for the close label would be blue.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnock {

class FlatBorderLabel final : public QLabel {
    Q_OBJECT

public:
    explicit FlatBorderLabel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class FlatTextBox final : public QLineEdit {
    Q_OBJECT

public:
    explicit FlatTextBox(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A flat command button: its Button colour with the one-pixel line around
// it, its text centred in the ButtonText colour (one pixel down and right
// while pressed), and a dotted rectangle inside the line while it has the
// focus. No style is asked, so no theme bevels or rounds it.
class FlatButton final : public QPushButton {
    Q_OBJECT

public:
    FlatButton(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// QPalette has no role for the window-frame colour; it is black on every
// common theme.
inline constexpr Qt::GlobalColor kWindowFrameColor = Qt::black;

}  // namespace varnock
