#pragma once

#include <QWidget>
#include <functional>

#include "lookup/arp_request.h"
#include "window/form_mouse.h"
#include "window/module1.h"
#include "window/qt/window_move.h"

class QLabel;
class QPushButton;

namespace varnock {

class FlatBorderLabel;
class FlatTextBox;

// The program's one window, drawn from the shared description: a fixed,
// borderless face with its own title strip, the address and result boxes,
// the Get button and the maker's and awareness pictures. Every control
// carries its described name as its objectName. The window uses the lookup only through `request`,
// which must outlive it, and hands its moves to the window manager through `requestWindowMove`
// (tests record the requests instead).
class Form1 final : public QWidget, private FormView {
    Q_OBJECT

public:
    using WindowMoveRequest = std::function<void(QWidget& window)>;

    explicit Form1(ArpRequest& request, WindowMoveRequest requestWindowMove = RequestWindowMove,
                   QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Builds the window and its controls from the description; Form_Load
    // then gives them their start-up values.
    void CreateControls();
    void Form_Load();

    // The Get command.
    void Command1_Click();
    void ShowFailureMessage();

    // What the mouse handlers ask of the window.
    void ShowCloseLabelColour(form::Bgr colour) override;
    void BeginWindowDrag() override;
    void EndProgram() override;

    ArpRequest& request_;
    WindowMoveRequest requestWindowMove_;
    FormMouse mouse_{*this, Module1::OpenDocument};

    // The controls the handlers use, by their described names; the others
    // are only drawn.
    QLabel* Label1 = nullptr;           // the navy title strip; dragging it moves the window
    QLabel* imgLogo = nullptr;          // the program's icon at the left of the title strip
    FlatBorderLabel* Label3 = nullptr;  // the close "X" at the right of the title strip
    FlatTextBox* txtIp = nullptr;       // the address the user types
    QPushButton* Command1 = nullptr;    // the Get button
    FlatTextBox* txtMAC = nullptr;      // the hardware address found, or empty
    QWidget* Picture1 = nullptr;        // the maker's logo, a link to the maker's site
};

}  // namespace varnock
