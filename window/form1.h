#pragma once

#include <QWidget>
#include <functional>

#include "lookup/arp_request.h"
#include "window/window_move.h"

class QLabel;
class QPushButton;

namespace varnock {

class FlatBorderLabel;
class FlatTextBox;
class FormLine;

// The program's one window: a fixed, borderless face with its own title
// strip, the address and result boxes, the Get button and the maker's and
// awareness pictures. Every control carries its described name as its
// objectName. The window uses the lookup only through `request`, which must
// outlive it, and hands its moves to the window manager through
// `requestWindowMove` (tests record the requests instead).
class Form1 final : public QWidget {
    Q_OBJECT

public:
    using WindowMoveRequest = std::function<void(QWidget& window)>;

    explicit Form1(ArpRequest& request, WindowMoveRequest requestWindowMove = RequestWindowMove,
                   QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Builds the window and its controls exactly as described; Form_Load
    // then gives them their start-up values.
    void CreateControls();
    void Form_Load();

    // The Get command.
    void Command1_Click();
    void ShowFailureMessage();

    // The title strip.
    void Label1_MouseDown();
    void Label1_MouseMove();
    void Label3_MouseMove();
    void Form_MouseMove();
    void Label3_Click();
    void BeginWindowDrag();

    // The maker link.
    void Picture1_Click();

    ArpRequest& request_;
    WindowMoveRequest requestWindowMove_;

    // The window's own vocabulary: the described names of its controls.
    QLabel* Label1 = nullptr;
    QLabel* imgLogo = nullptr;
    FlatBorderLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    FlatTextBox* txtIp = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label4 = nullptr;
    FlatTextBox* txtMAC = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Picture2 = nullptr;
    QLabel* Label6 = nullptr;
    FormLine* Line1 = nullptr;
    FormLine* Line2 = nullptr;
    FormLine* Line3 = nullptr;
    FormLine* Line4 = nullptr;
};

}  // namespace varnock
