#include "window/form_mouse.h"

#include <utility>

namespace varnock {

FormMouse::FormMouse(FormView& view, DocumentOpener openDocument)
    : view_(view), openDocument_(std::move(openDocument)) {}

void FormMouse::Moved(std::string_view control) {
    if (control == "Label1") {
        Label1_MouseMove();
    } else if (control == "Label3") {
        Label3_MouseMove();
    } else if (control == kBareWindow) {
        Form_MouseMove();
    }
}

void FormMouse::Pressed(std::string_view control) {
    if (control == "Label1") {
        Label1_MouseDown();
    }
}

void FormMouse::Clicked(std::string_view control) {
    if (control == "Label3") {
        Label3_Click();
    } else if (control == "Picture1") {
        Picture1_Click();
    }
}

void FormMouse::Label1_MouseDown() {
    view_.BeginWindowDrag();
}

void FormMouse::Label1_MouseMove() {
    LightCloseLabel(PointerOver::kTitleLabel);
}

void FormMouse::Label3_MouseMove() {
    LightCloseLabel(PointerOver::kCloseLabel);
}

void FormMouse::Form_MouseMove() {
    LightCloseLabel(PointerOver::kBareWindow);
}

void FormMouse::LightCloseLabel(PointerOver place) {
    if (const auto colour = CloseLabelColourAfterMove(place)) {
        view_.ShowCloseLabelColour(*colour);
    }
}

void FormMouse::Label3_Click() {
    view_.EndProgram();
}

void FormMouse::Picture1_Click() {
    FollowMakerLink(openDocument_);
}

}  // namespace varnock
