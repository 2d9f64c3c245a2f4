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
    QLabel* Label1 = nullptr;           // the navy title strip; dragging it moves the window
    QLabel* imgLogo = nullptr;          // the program's icon at the left of the title strip
    FlatBorderLabel* Label3 = nullptr;  // the close "X" at the right of the title strip
    QLabel* Label2 = nullptr;           // "Remote Ip Address", the caption of txtIp
    FlatTextBox* txtIp = nullptr;       // the address the user types
    QPushButton* Command1 = nullptr;    // the Get button
    QLabel* Label4 = nullptr;           // "Remote MAC Address", the caption of txtMAC
    FlatTextBox* txtMAC = nullptr;      // the hardware address found, or empty
    QLabel* Picture1 = nullptr;         // the maker's logo, a link to the maker's site
    QLabel* Label5 = nullptr;           // the about line
    QLabel* Picture2 = nullptr;         // the awareness ribbon
    QLabel* Label6 = nullptr;           // the awareness line beside the ribbon
    FormLine* Line1 = nullptr;          // the frame's left edge
    FormLine* Line2 = nullptr;          // the frame's right edge
    FormLine* Line3 = nullptr;          // the frame's bottom edge
    FormLine* Line4 = nullptr;          // the separator above the ribbon
};

}  // namespace varnock
