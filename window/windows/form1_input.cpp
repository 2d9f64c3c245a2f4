// The window's input: mouse events routed to the control under the mouse,
// what the mouse handlers ask of the window, and the Get command.
#include <string>

#include "window/windows/caption_drag.h"
#include "window/windows/form1.h"
#include "window/windows/window_text.h"

namespace varnock::win32 {

using form::ControlKind;

const Form1::Control* Form1::WindowlessAt(POINT point) const {
    for (const Control& control : controls_) {
        if (control.window == nullptr && control.description->kind != ControlKind::kLine &&
            PtInRect(&control.place, point)) {
            return &control;
        }
    }
    return nullptr;
}

void Form1::RouteMouseMove(POINT point) {
    const Control* control = WindowlessAt(point);
    mouse_.Moved(control == nullptr ? FormMouse::kBareWindow : control->description->name);
}

void Form1::RouteButtonDown(UINT message, POINT point) {
    const Control* control = WindowlessAt(point);
    if (control == nullptr) {
        return;
    }
    mouse_.Pressed(control->description->name);
    if (control->description->name == "Label3" && message == WM_LBUTTONDOWN) {
        // A click is a press and a release over the label.
        SetCapture(hwnd_);
        closePressed_ = true;
    }
}

void Form1::RouteButtonUp(POINT point) {
    if (!closePressed_) {
        return;
    }
    ReleaseCapture();
    const Control* control = WindowlessAt(point);
    if (control != nullptr && control->description->name == "Label3") {
        mouse_.Clicked("Label3");
    }
}

// --- What the mouse handlers ask of the window --------------------------------

void Form1::ShowCloseLabelColour(form::Bgr colour) {
    if (colour != closeLabelColour_) {
        closeLabelColour_ = colour;
        InvalidateRect(hwnd_, &Named("Label3").place, FALSE);
    }
}

void Form1::BeginWindowDrag() {
    BeginCaptionDrag(reinterpret_cast<std::uintptr_t>(hwnd_));
}

void Form1::EndProgram() {
    // The message loop ends with status 0.
    DestroyWindow(hwnd_);
}

// --- The Get command ------------------------------------------------------------

void Form1::Command1_Click() {
    const std::string addressText = WindowText(Named("txtIp").window);
    if (!GetCommandHasWork(addressText)) {
        return;
    }
    // SendARP may wait seconds; the window keeps painting meanwhile but
    // takes no input.
    try {
        busy_ = true;
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
        worker_ = std::thread([this, window = hwnd_, addressText] {
            outcome_ = RunGetCommand(addressText, request_);
            PostMessageA(window, kGetCommandDone, 0, 0);
        });
    } catch (...) {
        // No thread for the wait: a failure like any other.
        busy_ = false;
        outcome_ = {std::nullopt, true};
        FinishGetCommand();
    }
}

void Form1::FinishGetCommand() {
    if (worker_.joinable()) {
        worker_.join();
    }
    busy_ = false;
    // The pointer shows the arrow again without waiting for a move.
    POINT pointer{};
    GetCursorPos(&pointer);
    SetCursorPos(pointer.x, pointer.y);
    if (outcome_.resultText) {
        SetWindowTextA(Named("txtMAC").window, outcome_.resultText->c_str());
    }
    if (outcome_.showFailureMessage) {
        const std::string prompt(kFailurePrompt);
        const std::string title(kFailureTitle);
        // Which button closed the box makes no difference.
        MessageBoxA(hwnd_, prompt.c_str(), title.c_str(), kFailureStyle);
    }
}

}  // namespace varnock::win32
